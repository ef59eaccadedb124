// Decodes "project.moc" straight from the parser's events into the schema types: no JSON tree
// is built, which halves the work of reading a large document.
#include "document/json_coding.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <exception>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace document {

namespace {

using Json = nlohmann::json;

// What a field of the schema holds, and so which JSON values it accepts.
enum class Field {
    unknown,
    // Project.
    pUid,
    pName,
    pVer,
    pColor,
    pColorV2,
    pImage,
    pPles,
    pCal,
    pRoot,
    pLstUpd,
    pDvc,
    pNote,
    pDftCr,
    pCurFmt,
    pCurrency,
    pWkHrs,
    pScale,
    pOriTm,
    pOffY,
    pLinkT,
    pLinkS,
    pWkOnly,
    pAuthor,
    pBanner,
    // Task.
    tUid,
    tType,
    tName,
    tStart,
    tFinish,
    tComp,
    tRes,
    tWork,
    tPhys,
    tCtor,
    tCost,
    tColor,
    tColorV2,
    tIcon,
    tNote,
    tPred,
    tBaseline,
    tUrl1,
    tUrl2,
    tChilds,
    tClps,
    // Member.
    mId,
    mNm,
    mPt,
    mEm,
    mCr,
    // Assignment, work, cost, baseline, link.
    aPid,
    aWL,
    wWT,
    wWork,
    cAuto,
    cLabc,
    cMats,
    bStart,
    bFinish,
    uTitle,
    uUrl,
};

enum class Kind {
    project,
    task,
    peopleList,
    people,
    resList,
    res,
    work,
    cost,
    baseline,
    url,
    predList,
    childList,
    skip
};

using FieldTable = std::unordered_map<std::string_view, Field>;

const FieldTable& fieldsOf(Kind kind) {
    static const FieldTable project{
        {"Uid", Field::pUid},       {"Name", Field::pName},       {"Ver", Field::pVer},
        {"Color", Field::pColor},   {"ColorV2", Field::pColorV2}, {"Image", Field::pImage},
        {"Ples", Field::pPles},     {"Cal", Field::pCal},         {"Root", Field::pRoot},
        {"LstUpd", Field::pLstUpd}, {"Dvc", Field::pDvc},         {"Note", Field::pNote},
        {"DftCr", Field::pDftCr},   {"CurFmt", Field::pCurFmt},   {"Currency", Field::pCurrency},
        {"WkHrs", Field::pWkHrs},   {"Scale", Field::pScale},     {"OriTm", Field::pOriTm},
        {"OffY", Field::pOffY},     {"LinkT", Field::pLinkT},     {"LinkS", Field::pLinkS},
        {"WkOnly", Field::pWkOnly}, {"Author", Field::pAuthor},   {"Banner", Field::pBanner}};
    static const FieldTable task{{"Uid", Field::tUid},
                                 {"Type", Field::tType},
                                 {"Name", Field::tName},
                                 {"Start", Field::tStart},
                                 {"Finish", Field::tFinish},
                                 {"Comp", Field::tComp},
                                 {"Res", Field::tRes},
                                 {"Work", Field::tWork},
                                 {"Phys", Field::tPhys},
                                 {"Ctor", Field::tCtor},
                                 {"Cost", Field::tCost},
                                 {"Color", Field::tColor},
                                 {"ColorV2", Field::tColorV2},
                                 {"Icon", Field::tIcon},
                                 {"Note", Field::tNote},
                                 {"Pred", Field::tPred},
                                 {"DateBaseline", Field::tBaseline},
                                 {"url1", Field::tUrl1},
                                 {"url2", Field::tUrl2},
                                 {"Childs", Field::tChilds},
                                 {"Clps", Field::tClps}};
    static const FieldTable people{{"Id", Field::mId},
                                   {"Nm", Field::mNm},
                                   {"Pt", Field::mPt},
                                   {"Em", Field::mEm},
                                   {"Cr", Field::mCr}};
    static const FieldTable res{{"Pid", Field::aPid}, {"WL", Field::aWL}};
    static const FieldTable work{{"WT", Field::wWT}, {"Work", Field::wWork}};
    static const FieldTable cost{
        {"Auto", Field::cAuto}, {"Labc", Field::cLabc}, {"Mats", Field::cMats}};
    static const FieldTable baseline{{"start", Field::bStart}, {"finish", Field::bFinish}};
    static const FieldTable url{{"title", Field::uTitle}, {"url", Field::uUrl}};
    static const FieldTable none;
    switch (kind) {
    case Kind::project:
        return project;
    case Kind::task:
        return task;
    case Kind::people:
        return people;
    case Kind::res:
        return res;
    case Kind::work:
        return work;
    case Kind::cost:
        return cost;
    case Kind::baseline:
        return baseline;
    case Kind::url:
        return url;
    default:
        return none;
    }
}

// Joins message pieces by appending, which keeps GCC's overlap warnings quiet.
std::string join(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (const std::string_view piece : pieces) {
        out.append(piece);
    }
    return out;
}

// One JSON value as the parser reports it.
using Value = std::variant<std::nullptr_t, bool, std::int64_t, std::uint64_t, double, std::string>;

// Exactly representable integers only: 2^63 itself is a double, INT64_MAX is not.
constexpr double kTwoTo63 = 9223372036854775808.0;

std::optional<std::int64_t> exactInteger(const Value& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value)) {
        return *i;
    }
    if (const auto* u = std::get_if<std::uint64_t>(&value)) {
        if (*u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(*u);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        // A whole-valued float (50.0) is the same number and is taken; 50.5 never is.
        if (std::isfinite(*d) && std::trunc(*d) == *d && *d >= -kTwoTo63 && *d < kTwoTo63) {
            return static_cast<std::int64_t>(*d);
        }
    }
    return std::nullopt;
}

using Target = std::variant<JsonProject*, JsonTask*, std::vector<JsonPeople>*, JsonPeople*,
                            std::vector<JsonResourceAssignment>*, JsonResourceAssignment*,
                            JsonWorkData*, JsonCost*, JsonDateBaseline*, JsonTaskUrl*,
                            std::vector<std::int64_t>*, std::vector<JsonTask>*, std::monostate>;

struct Frame {
    Kind kind;
    Target target;
    Field field = Field::unknown;
    std::string_view key;
};

class Decoder {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    bool null() {
        return guard([&] { value(nullptr); });
    }
    bool boolean(bool v) {
        return guard([&] { value(v); });
    }
    bool number_integer(number_integer_t v) {
        return guard([&] { value(std::int64_t{v}); });
    }
    bool number_unsigned(number_unsigned_t v) {
        return guard([&] { value(std::uint64_t{v}); });
    }
    bool number_float(number_float_t v, const string_t& /*text*/) {
        return guard([&] { value(double{v}); });
    }
    bool string(string_t& v) {
        return guard([&] { value(std::move(v)); });
    }
    bool binary(binary_t& /*v*/) {
        return guard([] { fail(JsonCodingError::Code::typeMismatch, "Binary data in JSON"); });
    }
    bool key(string_t& k) {
        return guard([&] {
            Frame& top = m_stack.back();
            if (top.kind == Kind::skip) {
                return;
            }
            const auto& table = fieldsOf(top.kind);
            const auto it = table.find(k);
            top.field = it == table.end() ? Field::unknown : it->second;
            top.key = it == table.end() ? std::string_view() : it->first;
        });
    }
    bool start_object(std::size_t /*size*/) {
        return enter() && guard([&] { open(false); });
    }
    bool start_array(std::size_t /*size*/) {
        return enter() && guard([&] { open(true); });
    }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                     const nlohmann::detail::exception& error) {
        if (!m_error) {
            m_error = std::make_exception_ptr(
                JsonCodingError(JsonCodingError::Code::invalidSyntax, error.what()));
        }
        return false;
    }

    // The decoded project, absent for a text that is JSON null; rethrows the first failure.
    std::optional<JsonProject> finish(bool parsed) {
        if (m_error) {
            std::rethrow_exception(m_error);
        }
        if (!parsed) {
            throw JsonCodingError(JsonCodingError::Code::invalidSyntax, "The text is not JSON");
        }
        return std::move(m_result);
    }

private:
    [[noreturn]] static void fail(JsonCodingError::Code code, const std::string& message) {
        throw JsonCodingError(code, message);
    }

    template <class F>
    bool guard(F&& body) {
        try {
            body();
            return true;
        } catch (...) {
            m_error = std::current_exception();
            return false;
        }
    }

    bool enter() {
        if (++m_depth > kMaxJsonDepth) {
            m_error = std::make_exception_ptr(JsonCodingError(
                JsonCodingError::Code::tooDeep,
                join({"The JSON nests deeper than ", std::to_string(kMaxJsonDepth), " levels"})));
            return false;
        }
        return true;
    }

    bool close() {
        --m_depth;
        if (!m_stack.empty()) {
            m_stack.pop_back();
        }
        return true;
    }

    std::string where() const {
        // The nearest task names the place of a failure.
        for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
            if (it->kind == Kind::task) {
                const JsonTask* task = std::get<JsonTask*>(it->target);
                return task->uid ? join({"task ", std::to_string(*task->uid)}) : "a task";
            }
        }
        return "the project";
    }

    [[noreturn]] void mismatch(std::string_view expected) const {
        const Frame& top = m_stack.back();
        const std::string_view key = top.key.empty() ? std::string_view("an element") : top.key;
        fail(JsonCodingError::Code::typeMismatch,
             join({"\"", key, "\" of ", where(), " is not ", expected}));
    }

    std::int64_t integer(const Value& v, std::int64_t limit) const {
        const auto result = exactInteger(v);
        if (!result) {
            mismatch("an integer in the 64-bit range");
        }
        if (limit != std::numeric_limits<std::int64_t>::max() &&
            (*result > limit || *result < -limit)) {
            fail(JsonCodingError::Code::dataCorrupted,
                 join({"\"", m_stack.back().key, "\" of ", where(), " is ", std::to_string(*result),
                       ", beyond ", std::to_string(limit)}));
        }
        return *result;
    }

    std::optional<std::int64_t>
    optInteger(const Value& v,
               std::int64_t limit = std::numeric_limits<std::int64_t>::max()) const {
        if (std::holds_alternative<std::nullptr_t>(v)) {
            return std::nullopt;
        }
        return integer(v, limit);
    }

    std::optional<double> optNumber(const Value& v) const {
        if (std::holds_alternative<std::nullptr_t>(v)) {
            return std::nullopt;
        }
        if (const auto* i = std::get_if<std::int64_t>(&v)) {
            return static_cast<double>(*i);
        }
        if (const auto* u = std::get_if<std::uint64_t>(&v)) {
            return static_cast<double>(*u);
        }
        if (const auto* d = std::get_if<double>(&v)) {
            return *d;
        }
        mismatch("a number");
    }

    std::optional<bool> optBool(const Value& v) const {
        if (std::holds_alternative<std::nullptr_t>(v)) {
            return std::nullopt;
        }
        if (const auto* b = std::get_if<bool>(&v)) {
            return *b;
        }
        mismatch("true or false");
    }

    std::optional<std::string> optString(Value& v) const {
        if (std::holds_alternative<std::nullptr_t>(v)) {
            return std::nullopt;
        }
        if (auto* s = std::get_if<std::string>(&v)) {
            return std::move(*s);
        }
        mismatch("a string");
    }

    // Documents repeat the same few hundred day strings; a cache per decoding call keeps the
    // calendar work to one conversion per distinct text without outliving a time-zone change.
    std::optional<core::Date> optDate(const Value& v) {
        if (std::holds_alternative<std::nullptr_t>(v)) {
            return std::nullopt;
        }
        const auto* s = std::get_if<std::string>(&v);
        if (s == nullptr) {
            mismatch("a date string");
        }
        const auto it = m_dates.find(*s);
        if (it != m_dates.end()) {
            return it->second;
        }
        const core::Date date = decodeJsonDate(*s);
        m_dates.emplace(*s, date);
        return date;
    }

    void value(Value v) {
        if (m_stack.empty()) {
            // The whole text is this one value: null means no project.
            if (!std::holds_alternative<std::nullptr_t>(v)) {
                fail(JsonCodingError::Code::typeMismatch, "The project is not a JSON object");
            }
            return;
        }
        Frame& top = m_stack.back();
        switch (top.kind) {
        case Kind::skip:
            return;
        case Kind::predList:
            std::get<std::vector<std::int64_t>*>(top.target)->push_back(integer(v, kMaxJsonId));
            return;
        case Kind::peopleList:
        case Kind::resList:
        case Kind::childList:
            mismatch("an object");
        default:
            assign(top, std::move(v));
        }
    }

    void assign(Frame& top, Value v) {
        const bool null = std::holds_alternative<std::nullptr_t>(v);
        switch (top.field) {
        case Field::unknown:
            return;
        // Fields that hold objects or arrays: null leaves them absent, anything else is wrong.
        case Field::pPles:
            return null ? std::get<JsonProject*>(top.target)->peoples.reset()
                        : mismatch("an array");
        case Field::pRoot:
            return null ? std::get<JsonProject*>(top.target)->root.reset() : mismatch("an object");
        case Field::tRes:
            return null ? std::get<JsonTask*>(top.target)->resources.reset() : mismatch("an array");
        case Field::tPred:
            return null ? std::get<JsonTask*>(top.target)->predecessors.reset()
                        : mismatch("an array");
        case Field::tChilds:
            return null ? std::get<JsonTask*>(top.target)->childs.reset() : mismatch("an array");
        case Field::tWork:
            return null ? std::get<JsonTask*>(top.target)->work.reset() : mismatch("an object");
        case Field::tCost:
            return null ? std::get<JsonTask*>(top.target)->cost.reset() : mismatch("an object");
        case Field::tBaseline:
            return null ? std::get<JsonTask*>(top.target)->dateBaseline.reset()
                        : mismatch("an object");
        case Field::tUrl1:
            return null ? std::get<JsonTask*>(top.target)->url1.reset() : mismatch("an object");
        case Field::tUrl2:
            return null ? std::get<JsonTask*>(top.target)->url2.reset() : mismatch("an object");
        default:
            break;
        }
        if (top.kind == Kind::project) {
            assignProject(*std::get<JsonProject*>(top.target), top.field, v);
        } else if (top.kind == Kind::task) {
            assignTask(*std::get<JsonTask*>(top.target), top.field, v);
        } else {
            assignSmall(top, v);
        }
    }

    void assignProject(JsonProject& p, Field field, Value& v) {
        switch (field) {
        case Field::pUid:
            p.uniqueId = optString(v);
            break;
        case Field::pName:
            p.name = optString(v);
            break;
        case Field::pVer:
            p.version = optString(v);
            break;
        case Field::pColor:
            p.oldColorIndex = optInteger(v);
            break;
        case Field::pColorV2:
            p.newColorIndex = optInteger(v);
            break;
        case Field::pImage:
            p.imageId = optString(v);
            break;
        case Field::pCal:
            p.calendar = optString(v);
            break;
        case Field::pLstUpd:
            p.lastUpdate = optDate(v);
            break;
        case Field::pDvc:
            p.device = optString(v);
            break;
        case Field::pNote:
            p.notes = optString(v);
            break;
        case Field::pDftCr:
            p.defaultCostRate = optNumber(v);
            break;
        case Field::pCurFmt:
            p.displayCurrencyAtBegin = optBool(v);
            break;
        case Field::pCurrency:
            p.currency = optString(v);
            break;
        case Field::pWkHrs:
            p.dailyWorkingHours = optNumber(v);
            break;
        case Field::pScale:
            p.timespaceScale = optNumber(v);
            break;
        case Field::pOriTm:
            p.timespaceOrginalTime = optDate(v);
            break;
        case Field::pOffY:
            p.screenOffsetY = optNumber(v);
            break;
        case Field::pLinkT:
            p.taskLinkType = optInteger(v);
            break;
        case Field::pLinkS:
            p.userHasSetLinkType = optBool(v);
            break;
        case Field::pWkOnly:
            p.onlyWorkingDayTaskSchedule = optBool(v);
            break;
        case Field::pAuthor:
            p.pdfAuthorName = optString(v);
            break;
        case Field::pBanner:
            p.pdfBannerImageId = optString(v);
            break;
        default:
            break;
        }
    }

    void assignTask(JsonTask& t, Field field, Value& v) {
        switch (field) {
        case Field::tUid:
            t.uid = optInteger(v, kMaxJsonId);
            break;
        case Field::tType:
            if (const auto type = optInteger(v)) {
                if (*type < 0 || *type > 2) {
                    fail(JsonCodingError::Code::dataCorrupted,
                         join({"\"Type\" of ", where(), " is ", std::to_string(*type),
                               ", not 0, 1 or 2"}));
                }
                t.type = static_cast<JsonTaskType>(*type);
            } else {
                t.type.reset();
            }
            break;
        case Field::tName:
            t.name = optString(v);
            break;
        case Field::tStart:
            t.start = optDate(v);
            break;
        case Field::tFinish:
            t.finish = optDate(v);
            break;
        case Field::tComp:
            t.completedPercent = optInteger(v, kMaxJsonPercent);
            break;
        case Field::tPhys:
            t.physicalCompletedPercentage = optInteger(v, kMaxJsonPercent);
            break;
        case Field::tCtor:
            t.contactorId = optInteger(v, kMaxJsonId);
            break;
        case Field::tColor:
            t.oldColorIndex = optInteger(v);
            break;
        case Field::tColorV2:
            t.newColorIndex = optInteger(v);
            break;
        case Field::tIcon:
            t.iconIndex = optInteger(v);
            break;
        case Field::tNote:
            t.notes = optString(v);
            break;
        case Field::tClps:
            t.collapsed = optBool(v);
            break;
        default:
            break;
        }
    }

    void assignSmall(Frame& top, Value& v) {
        switch (top.field) {
        case Field::mId:
            std::get<JsonPeople*>(top.target)->id = optInteger(v, kMaxJsonId);
            break;
        case Field::mNm:
            std::get<JsonPeople*>(top.target)->name = optString(v);
            break;
        case Field::mPt:
            std::get<JsonPeople*>(top.target)->photoId = optString(v);
            break;
        case Field::mEm:
            std::get<JsonPeople*>(top.target)->email = optString(v);
            break;
        case Field::mCr:
            std::get<JsonPeople*>(top.target)->costRate = optNumber(v);
            break;
        case Field::aPid:
            std::get<JsonResourceAssignment*>(top.target)->peopleId = optInteger(v, kMaxJsonId);
            break;
        case Field::aWL:
            std::get<JsonResourceAssignment*>(top.target)->workload =
                optInteger(v, kMaxJsonPercent);
            break;
        case Field::wWT:
            std::get<JsonWorkData*>(top.target)->workType = optInteger(v);
            break;
        case Field::wWork:
            std::get<JsonWorkData*>(top.target)->workValue = optNumber(v);
            break;
        case Field::cAuto:
            std::get<JsonCost*>(top.target)->isFixLaborCost = optBool(v);
            break;
        case Field::cLabc:
            std::get<JsonCost*>(top.target)->laborCost = optNumber(v);
            break;
        case Field::cMats:
            std::get<JsonCost*>(top.target)->materialsCost = optNumber(v);
            break;
        case Field::bStart:
            std::get<JsonDateBaseline*>(top.target)->start = optDate(v);
            break;
        case Field::bFinish:
            std::get<JsonDateBaseline*>(top.target)->finish = optDate(v);
            break;
        case Field::uTitle:
            std::get<JsonTaskUrl*>(top.target)->title = optString(v);
            break;
        case Field::uUrl:
            std::get<JsonTaskUrl*>(top.target)->url = optString(v);
            break;
        default:
            break;
        }
    }

    void push(Kind kind, Target target) { m_stack.push_back({kind, target, Field::unknown, {}}); }

    // Counts one more task or member before it is made, against its limit.
    void count(std::size_t& counter, std::size_t limit, std::string_view what) {
        if (++counter > limit) {
            fail(JsonCodingError::Code::tooLarge,
                 join({"The project holds more than ", std::to_string(limit), " ", what}));
        }
    }

    void open(bool array) {
        if (m_stack.empty()) {
            if (array) {
                fail(JsonCodingError::Code::typeMismatch, "The project is not a JSON object");
            }
            push(Kind::project, &m_result.emplace());
            return;
        }
        Frame& top = m_stack.back();
        switch (top.kind) {
        case Kind::skip:
            return push(Kind::skip, std::monostate{});
        case Kind::peopleList:
            if (array) {
                mismatch("an object");
            }
            count(m_members, kMaxJsonMembers, "members");
            return push(Kind::people,
                        &std::get<std::vector<JsonPeople>*>(top.target)->emplace_back());
        case Kind::resList:
            if (array) {
                mismatch("an object");
            }
            return push(
                Kind::res,
                &std::get<std::vector<JsonResourceAssignment>*>(top.target)->emplace_back());
        case Kind::childList:
            if (array) {
                mismatch("an object");
            }
            count(m_tasks, kMaxJsonTasks, "tasks");
            return push(Kind::task, &std::get<std::vector<JsonTask>*>(top.target)->emplace_back());
        case Kind::predList:
            mismatch("an integer");
        default:
            break;
        }
        // An object or array under a key: a known key must expect exactly that.
        if (top.field == Field::unknown) {
            return push(Kind::skip, std::monostate{});
        }
        if (top.kind == Kind::project) {
            JsonProject& p = *std::get<JsonProject*>(top.target);
            if (top.field == Field::pPles && array) {
                return push(Kind::peopleList, &p.peoples.emplace());
            }
            if (top.field == Field::pRoot && !array) {
                count(m_tasks, kMaxJsonTasks, "tasks");
                return push(Kind::task, &p.root.emplace());
            }
        } else if (top.kind == Kind::task) {
            JsonTask& t = *std::get<JsonTask*>(top.target);
            if (array) {
                switch (top.field) {
                case Field::tRes:
                    return push(Kind::resList, &t.resources.emplace());
                case Field::tPred:
                    return push(Kind::predList, &t.predecessors.emplace());
                case Field::tChilds:
                    return push(Kind::childList, &t.childs.emplace());
                default:
                    break;
                }
            } else {
                switch (top.field) {
                case Field::tWork:
                    return push(Kind::work, &t.work.emplace());
                case Field::tCost:
                    return push(Kind::cost, &t.cost.emplace());
                case Field::tBaseline:
                    return push(Kind::baseline, &t.dateBaseline.emplace());
                case Field::tUrl1:
                    return push(Kind::url, &t.url1.emplace());
                case Field::tUrl2:
                    return push(Kind::url, &t.url2.emplace());
                default:
                    break;
                }
            }
        }
        mismatch(expectedKind(top.field));
    }

    static std::string_view expectedKind(Field field) {
        switch (field) {
        case Field::pPles:
        case Field::tRes:
        case Field::tPred:
        case Field::tChilds:
            return "an array";
        case Field::pRoot:
        case Field::tWork:
        case Field::tCost:
        case Field::tBaseline:
        case Field::tUrl1:
        case Field::tUrl2:
            return "an object";
        default:
            return "a single value";
        }
    }

    std::vector<Frame> m_stack;
    std::size_t m_depth = 0;
    std::size_t m_tasks = 0;
    std::size_t m_members = 0;
    std::optional<JsonProject> m_result;
    std::exception_ptr m_error;
    std::unordered_map<std::string, core::Date> m_dates;
};

} // namespace

std::optional<JsonProject> decodeJsonProject(std::string_view text) {
    Decoder decoder;
    const bool parsed = Json::sax_parse(text.begin(), text.end(), &decoder);
    return decoder.finish(parsed);
}

} // namespace document
