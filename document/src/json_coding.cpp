#include "document/json_coding.hpp"

#include "local_time.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <unordered_map>
#include <utility>

namespace document {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

namespace {

// --- Parsing with a depth limit -------------------------------------------------------------

// Forwards every event to nlohmann's own tree builder, counting nesting so that a hostile
// document is refused long before it can exhaust memory or any later walk.
class DepthLimitedSax {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    explicit DepthLimitedSax(Json& root) : m_dom(root, false) {}

    bool null() { return m_dom.null(); }
    bool boolean(bool value) { return m_dom.boolean(value); }
    bool number_integer(number_integer_t value) { return m_dom.number_integer(value); }
    bool number_unsigned(number_unsigned_t value) { return m_dom.number_unsigned(value); }
    bool number_float(number_float_t value, const string_t& text) {
        return m_dom.number_float(value, text);
    }
    bool string(string_t& value) { return m_dom.string(value); }
    bool binary(binary_t& value) { return m_dom.binary(value); }
    bool key(string_t& value) { return m_dom.key(value); }
    bool start_object(std::size_t size) { return enter() && m_dom.start_object(size); }
    bool end_object() {
        --m_depth;
        return m_dom.end_object();
    }
    bool start_array(std::size_t size) { return enter() && m_dom.start_array(size); }
    bool end_array() {
        --m_depth;
        return m_dom.end_array();
    }
    bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                     const nlohmann::detail::exception& error) {
        m_error = error.what();
        return false;
    }

    bool tooDeep() const noexcept { return m_tooDeep; }
    const std::string& error() const noexcept { return m_error; }

private:
    bool enter() {
        if (++m_depth > kMaxJsonDepth) {
            m_tooDeep = true;
            return false;
        }
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<Json> m_dom;
    std::size_t m_depth = 0;
    bool m_tooDeep = false;
    std::string m_error;
};

Json parseDom(std::string_view text) {
    Json root;
    DepthLimitedSax sax(root);
    const bool ok = Json::sax_parse(text.begin(), text.end(), &sax);
    if (sax.tooDeep()) {
        throw JsonCodingError(JsonCodingError::Code::tooDeep, "The JSON nests deeper than " +
                                                                  std::to_string(kMaxJsonDepth) +
                                                                  " levels");
    }
    if (!ok) {
        throw JsonCodingError(JsonCodingError::Code::invalidSyntax,
                              sax.error().empty() ? "The text is not JSON" : sax.error());
    }
    return root;
}

// --- Strict field readers -------------------------------------------------------------------

[[noreturn]] void failTypeMismatch(std::string_view key, std::string_view expected,
                                   std::string_view where) {
    throw JsonCodingError(JsonCodingError::Code::typeMismatch, "\"" + std::string(key) + "\" of " +
                                                                   std::string(where) + " is not " +
                                                                   std::string(expected));
}

// Exactly representable integers only: 2^63 itself is a double, INT64_MAX is not.
constexpr double kTwoTo63 = 9223372036854775808.0;

std::optional<std::int64_t> exactInteger(const Json& value) {
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_integer()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_float()) {
        // A whole-valued float (50.0) is the same number and is taken; 50.5 never is.
        const double d = value.get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && d >= -kTwoTo63 && d < kTwoTo63) {
            return static_cast<std::int64_t>(d);
        }
    }
    return std::nullopt;
}

class ObjectReader {
public:
    ObjectReader(const Json& object, std::string where)
        : m_object(object), m_where(std::move(where)) {}

    const Json* find(std::string_view key) const {
        const auto it = m_object.find(key);
        if (it == m_object.end() || it->is_null()) {
            return nullptr;
        }
        return &*it;
    }

    std::optional<std::int64_t> integer(std::string_view key, std::int64_t limit) const {
        const Json* value = find(key);
        if (value == nullptr) {
            return std::nullopt;
        }
        return checkedInteger(*value, key, limit);
    }

    std::optional<std::int64_t> integer(std::string_view key) const {
        return integer(key, std::numeric_limits<std::int64_t>::max());
    }

    std::optional<double> number(std::string_view key) const {
        const Json* value = find(key);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (!value->is_number()) {
            failTypeMismatch(key, "a number", m_where);
        }
        return value->get<double>();
    }

    std::optional<bool> boolean(std::string_view key) const {
        const Json* value = find(key);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (!value->is_boolean()) {
            failTypeMismatch(key, "true or false", m_where);
        }
        return value->get<bool>();
    }

    std::optional<std::string> string(std::string_view key) const {
        const Json* value = find(key);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (!value->is_string()) {
            failTypeMismatch(key, "a string", m_where);
        }
        return value->get_ref<const std::string&>();
    }

    template <class DateDecoder>
    std::optional<core::Date> date(std::string_view key, DateDecoder& decoder) const {
        const Json* value = find(key);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (!value->is_string()) {
            failTypeMismatch(key, "a date string", m_where);
        }
        return decoder(value->get_ref<const std::string&>());
    }

    const Json* object(std::string_view key) const {
        const Json* value = find(key);
        if (value != nullptr && !value->is_object()) {
            failTypeMismatch(key, "an object", m_where);
        }
        return value;
    }

    const Json* array(std::string_view key) const {
        const Json* value = find(key);
        if (value != nullptr && !value->is_array()) {
            failTypeMismatch(key, "an array", m_where);
        }
        return value;
    }

    std::int64_t checkedInteger(const Json& value, std::string_view key, std::int64_t limit) const {
        const auto result = exactInteger(value);
        if (!result) {
            failTypeMismatch(key, "an integer in the 64-bit range", m_where);
        }
        if (limit != std::numeric_limits<std::int64_t>::max() &&
            (*result > limit || *result < -limit)) {
            throw JsonCodingError(JsonCodingError::Code::dataCorrupted,
                                  "\"" + std::string(key) + "\" of " + m_where + " is " +
                                      std::to_string(*result) + ", beyond " +
                                      std::to_string(limit));
        }
        return *result;
    }

    const std::string& where() const noexcept { return m_where; }

private:
    const Json& m_object;
    std::string m_where;
};

// Documents repeat the same few hundred day strings; a cache per decoding call keeps the
// calendar work to one conversion per distinct text without outliving a time-zone change.
class CachedDateDecoder {
public:
    core::Date operator()(const std::string& text) {
        const auto it = m_cache.find(text);
        if (it != m_cache.end()) {
            return it->second;
        }
        const core::Date date = decodeJsonDate(text);
        m_cache.emplace(text, date);
        return date;
    }

private:
    std::unordered_map<std::string, core::Date> m_cache;
};

JsonTaskUrl decodeUrl(const Json& json, const std::string& where) {
    const ObjectReader r(json, where);
    return {r.string("title"), r.string("url")};
}

void decodeTaskFields(const Json& json, JsonTask& task, CachedDateDecoder& dates) {
    // The uid names the task in messages; it is read first for that reason.
    task.uid = ObjectReader(json, "a task").integer("Uid", kMaxJsonId);
    const std::string where = task.uid ? "task " + std::to_string(*task.uid) : "a task";
    const ObjectReader r(json, where);
    if (const auto type = r.integer("Type")) {
        if (*type < 0 || *type > 2) {
            throw JsonCodingError(JsonCodingError::Code::dataCorrupted,
                                  "\"Type\" of " + where + " is " + std::to_string(*type) +
                                      ", not 0, 1 or 2");
        }
        task.type = static_cast<JsonTaskType>(*type);
    }
    task.name = r.string("Name");
    task.start = r.date("Start", dates);
    task.finish = r.date("Finish", dates);
    task.completedPercent = r.integer("Comp", kMaxJsonPercent);
    if (const Json* res = r.array("Res")) {
        auto& list = task.resources.emplace();
        list.reserve(res->size());
        for (const Json& entry : *res) {
            if (!entry.is_object()) {
                failTypeMismatch("Res", "an array of objects", where);
            }
            const ObjectReader a(entry, "an assignment of " + where);
            list.push_back({a.integer("Pid", kMaxJsonId), a.integer("WL", kMaxJsonPercent)});
        }
    }
    if (const Json* work = r.object("Work")) {
        const ObjectReader w(*work, "the work of " + where);
        task.work = JsonWorkData{w.integer("WT"), w.number("Work")};
    }
    task.physicalCompletedPercentage = r.integer("Phys", kMaxJsonPercent);
    task.contactorId = r.integer("Ctor", kMaxJsonId);
    if (const Json* cost = r.object("Cost")) {
        const ObjectReader c(*cost, "the cost of " + where);
        task.cost = JsonCost{c.boolean("Auto"), c.number("Labc"), c.number("Mats")};
    }
    task.oldColorIndex = r.integer("Color");
    task.newColorIndex = r.integer("ColorV2");
    task.iconIndex = r.integer("Icon");
    task.notes = r.string("Note");
    if (const Json* pred = r.array("Pred")) {
        auto& ids = task.predecessors.emplace();
        ids.reserve(pred->size());
        for (const Json& id : *pred) {
            ids.push_back(r.checkedInteger(id, "Pred", kMaxJsonId));
        }
    }
    if (const Json* baseline = r.object("DateBaseline")) {
        const ObjectReader b(*baseline, "the baseline of " + where);
        task.dateBaseline = JsonDateBaseline{b.date("start", dates), b.date("finish", dates)};
    }
    if (const Json* url = r.object("url1")) {
        task.url1 = decodeUrl(*url, "url1 of " + where);
    }
    if (const Json* url = r.object("url2")) {
        task.url2 = decodeUrl(*url, "url2 of " + where);
    }
    task.collapsed = r.boolean("Clps");
}

// Decodes a task tree with an explicit stack: the nesting depth is the document's to choose.
JsonTask decodeTaskTree(const Json& rootJson, CachedDateDecoder& dates) {
    if (!rootJson.is_object()) {
        failTypeMismatch("Root", "an object", "the project");
    }
    JsonTask root;
    std::vector<std::pair<const Json*, JsonTask*>> pending{{&rootJson, &root}};
    while (!pending.empty()) {
        const auto [json, task] = pending.back();
        pending.pop_back();
        decodeTaskFields(*json, *task, dates);
        const ObjectReader r(*json, task->uid ? "task " + std::to_string(*task->uid) : "a task");
        const Json* childs = r.array("Childs");
        if (childs == nullptr) {
            continue;
        }
        auto& children = task->childs.emplace(childs->size());
        // Children are visited in reverse so that the first child is decoded first.
        for (std::size_t i = childs->size(); i-- > 0;) {
            const Json& child = (*childs)[i];
            if (!child.is_object()) {
                failTypeMismatch("Childs", "an array of objects", r.where());
            }
            pending.emplace_back(&child, &children[i]);
        }
    }
    return root;
}

JsonProject decodeProjectObject(const Json& json) {
    if (!json.is_object()) {
        throw JsonCodingError(JsonCodingError::Code::typeMismatch,
                              "The project is not a JSON object");
    }
    CachedDateDecoder dates;
    const ObjectReader r(json, "the project");
    JsonProject p;
    p.uniqueId = r.string("Uid");
    p.name = r.string("Name");
    p.version = r.string("Ver");
    p.oldColorIndex = r.integer("Color");
    p.newColorIndex = r.integer("ColorV2");
    p.imageId = r.string("Image");
    if (const Json* peoples = r.array("Ples")) {
        auto& list = p.peoples.emplace();
        list.reserve(peoples->size());
        for (const Json& entry : *peoples) {
            if (!entry.is_object()) {
                failTypeMismatch("Ples", "an array of objects", "the project");
            }
            const ObjectReader m(entry, "a member");
            list.push_back({m.integer("Id", kMaxJsonId), m.string("Nm"), m.string("Pt"),
                            m.string("Em"), m.number("Cr")});
        }
    }
    p.calendar = r.string("Cal");
    if (const Json* root = r.object("Root")) {
        p.root = decodeTaskTree(*root, dates);
    }
    p.lastUpdate = r.date("LstUpd", dates);
    p.device = r.string("Dvc");
    p.notes = r.string("Note");
    p.defaultCostRate = r.number("DftCr");
    p.displayCurrencyAtBegin = r.boolean("CurFmt");
    p.currency = r.string("Currency");
    p.dailyWorkingHours = r.number("WkHrs");
    p.timespaceScale = r.number("Scale");
    p.timespaceOrginalTime = r.date("OriTm", dates);
    p.screenOffsetY = r.number("OffY");
    p.taskLinkType = r.integer("LinkT");
    p.userHasSetLinkType = r.boolean("LinkS");
    p.onlyWorkingDayTaskSchedule = r.boolean("WkOnly");
    p.pdfAuthorName = r.string("Author");
    p.pdfBannerImageId = r.string("Banner");
    return p;
}

// --- Writing --------------------------------------------------------------------------------

// How many levels a task's own arrays and objects add below the task's object.
std::size_t innerDepth(const JsonTask& t) {
    if (t.resources && !t.resources->empty()) {
        return 2;
    }
    const bool nested = t.resources || t.work || t.cost || t.predecessors || t.dateBaseline ||
                        t.url1 || t.url2 || t.childs;
    return nested ? 1 : 0;
}

class Writer {
public:
    OrderedJson number(double value, std::string_view key) {
        if (!std::isfinite(value)) {
            throw JsonCodingError(JsonCodingError::Code::notEncodable,
                                  "\"" + std::string(key) + "\" is not a finite number");
        }
        return value;
    }

    OrderedJson date(core::Date value, std::string_view key) {
        const double seconds = secondsSince1970(value);
        const auto it = m_dates.find(seconds);
        if (it != m_dates.end()) {
            return it->second;
        }
        auto text = encodeJsonDate(value);
        if (!text) {
            throw JsonCodingError(JsonCodingError::Code::notEncodable,
                                  "\"" + std::string(key) + "\" is a date outside years 1-9999");
        }
        m_dates.emplace(seconds, *text);
        return *text;
    }

    template <class T>
    void put(OrderedJson& object, const char* key, const std::optional<T>& value) {
        if (!value) {
            return;
        }
        if constexpr (std::is_same_v<T, double>) {
            object[key] = number(*value, key);
        } else if constexpr (std::is_same_v<T, core::Date>) {
            object[key] = date(*value, key);
        } else {
            object[key] = *value;
        }
    }

    OrderedJson url(const JsonTaskUrl& link) {
        OrderedJson o = OrderedJson::object();
        put(o, "title", link.title);
        put(o, "url", link.url);
        return o;
    }

    // Every key but "Childs" and "Clps", which the tree walk adds.
    OrderedJson taskFields(const JsonTask& t) {
        OrderedJson o = OrderedJson::object();
        put(o, "Uid", t.uid);
        if (t.type) {
            o["Type"] = static_cast<std::int64_t>(*t.type);
        }
        put(o, "Name", t.name);
        put(o, "Start", t.start);
        put(o, "Finish", t.finish);
        put(o, "Comp", t.completedPercent);
        if (t.resources) {
            OrderedJson list = OrderedJson::array();
            for (const auto& a : *t.resources) {
                OrderedJson entry = OrderedJson::object();
                put(entry, "Pid", a.peopleId);
                put(entry, "WL", a.workload);
                list.push_back(std::move(entry));
            }
            o["Res"] = std::move(list);
        }
        if (t.work) {
            OrderedJson w = OrderedJson::object();
            put(w, "WT", t.work->workType);
            put(w, "Work", t.work->workValue);
            o["Work"] = std::move(w);
        }
        put(o, "Phys", t.physicalCompletedPercentage);
        put(o, "Ctor", t.contactorId);
        if (t.cost) {
            OrderedJson c = OrderedJson::object();
            put(c, "Auto", t.cost->isFixLaborCost);
            put(c, "Labc", t.cost->laborCost);
            put(c, "Mats", t.cost->materialsCost);
            o["Cost"] = std::move(c);
        }
        put(o, "Color", t.oldColorIndex);
        put(o, "ColorV2", t.newColorIndex);
        put(o, "Icon", t.iconIndex);
        put(o, "Note", t.notes);
        put(o, "Pred", t.predecessors);
        if (t.dateBaseline) {
            OrderedJson b = OrderedJson::object();
            put(b, "start", t.dateBaseline->start);
            put(b, "finish", t.dateBaseline->finish);
            o["DateBaseline"] = std::move(b);
        }
        if (t.url1) {
            o["url1"] = url(*t.url1);
        }
        if (t.url2) {
            o["url2"] = url(*t.url2);
        }
        return o;
    }

    OrderedJson taskTree(const JsonTask& root) {
        OrderedJson out;
        struct Pending {
            const JsonTask* task;
            OrderedJson* target;
            std::size_t depth;
        };
        std::vector<Pending> pending{{&root, &out, 2}};
        while (!pending.empty()) {
            const Pending p = pending.back();
            pending.pop_back();
            // A tree the reader would refuse is never written.
            if (p.depth + innerDepth(*p.task) > kMaxJsonDepth) {
                throw JsonCodingError(JsonCodingError::Code::notEncodable,
                                      "The task tree is too deep to be read back");
            }
            *p.target = taskFields(*p.task);
            if (p.task->childs) {
                (*p.target)["Childs"] = OrderedJson::array();
            }
            put(*p.target, "Clps", p.task->collapsed);
            if (!p.task->childs) {
                continue;
            }
            OrderedJson& list = (*p.target)["Childs"];
            const auto& children = *p.task->childs;
            for (std::size_t i = 0; i < children.size(); ++i) {
                list.push_back(OrderedJson());
            }
            for (std::size_t i = children.size(); i-- > 0;) {
                pending.push_back({&children[i], &list[i], p.depth + 2});
            }
        }
        return out;
    }

    OrderedJson project(const JsonProject& p) {
        OrderedJson o = OrderedJson::object();
        put(o, "Uid", p.uniqueId);
        put(o, "Name", p.name);
        put(o, "Ver", p.version);
        put(o, "Color", p.oldColorIndex);
        put(o, "ColorV2", p.newColorIndex);
        put(o, "Image", p.imageId);
        if (p.peoples) {
            OrderedJson list = OrderedJson::array();
            for (const auto& m : *p.peoples) {
                OrderedJson entry = OrderedJson::object();
                put(entry, "Id", m.id);
                put(entry, "Nm", m.name);
                put(entry, "Pt", m.photoId);
                put(entry, "Em", m.email);
                put(entry, "Cr", m.costRate);
                list.push_back(std::move(entry));
            }
            o["Ples"] = std::move(list);
        }
        put(o, "Cal", p.calendar);
        if (p.root) {
            o["Root"] = taskTree(*p.root);
        }
        put(o, "LstUpd", p.lastUpdate);
        put(o, "Dvc", p.device);
        put(o, "Note", p.notes);
        put(o, "DftCr", p.defaultCostRate);
        put(o, "CurFmt", p.displayCurrencyAtBegin);
        put(o, "Currency", p.currency);
        put(o, "WkHrs", p.dailyWorkingHours);
        put(o, "Scale", p.timespaceScale);
        put(o, "OriTm", p.timespaceOrginalTime);
        put(o, "OffY", p.screenOffsetY);
        put(o, "LinkT", p.taskLinkType);
        put(o, "LinkS", p.userHasSetLinkType);
        put(o, "WkOnly", p.onlyWorkingDayTaskSchedule);
        put(o, "Author", p.pdfAuthorName);
        put(o, "Banner", p.pdfBannerImageId);
        return o;
    }

private:
    std::unordered_map<double, std::string> m_dates;
};

bool allDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int digits(std::string_view text) {
    int value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<CivilDateTime> parseCivil(std::string_view text) {
    const bool longForm = text.size() == 19;
    if (text.size() != 10 && !longForm) {
        return std::nullopt;
    }
    if (!allDigits(text.substr(0, 4)) || text[4] != '-' || !allDigits(text.substr(5, 2)) ||
        text[7] != '-' || !allDigits(text.substr(8, 2))) {
        return std::nullopt;
    }
    CivilDateTime civil{
        digits(text.substr(0, 4)), digits(text.substr(5, 2)), digits(text.substr(8, 2)), 0, 0, 0};
    if (longForm) {
        if (text[10] != 'T' || !allDigits(text.substr(11, 2)) || text[13] != ':' ||
            !allDigits(text.substr(14, 2)) || text[16] != ':' || !allDigits(text.substr(17, 2))) {
            return std::nullopt;
        }
        civil.hour = digits(text.substr(11, 2));
        civil.minute = digits(text.substr(14, 2));
        civil.second = digits(text.substr(17, 2));
    }
    if (civil.year < 1 || civil.month < 1 || civil.month > 12 || civil.day < 1 ||
        civil.day > daysInMonth(civil.year, civil.month) || civil.hour > 23 || civil.minute > 59 ||
        civil.second > 59) {
        return std::nullopt;
    }
    return civil;
}

// Byte length of the first `count` UTF-8 characters (or of the whole text when shorter).
std::size_t prefixOfCharacters(std::string_view text, std::size_t count, std::size_t& seen) {
    seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0U) != 0x80U) {
            if (seen == count) {
                return i;
            }
            ++seen;
        }
    }
    return text.size();
}

} // namespace

JsonCodingError::JsonCodingError(Code code, std::string message)
    : core::Error("JsonCodingError", static_cast<int>(code), std::move(message)), m_code(code) {}

bool hasZozExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "." + std::string(kZozFileExtension);
}

core::Date decodeJsonDate(std::string_view text) {
    constexpr std::size_t kLongFormLength = 19;
    std::size_t characters = 0;
    const std::size_t cut = prefixOfCharacters(text, kLongFormLength, characters);
    // Fewer than 19 characters: the short form; otherwise only the first 19 count.
    const std::string_view form = characters < kLongFormLength ? text : text.substr(0, cut);
    if (const auto civil = parseCivil(form)) {
        if (const auto date = dateFromLocalCivil(*civil)) {
            return *date;
        }
    }
    throw JsonCodingError(JsonCodingError::Code::dataCorrupted,
                          "Cannot decode date string " + std::string(text));
}

std::optional<std::string> encodeJsonDate(core::Date date) {
    const auto civil = localCivilFromDate(date);
    if (!civil || civil->year < 1 || civil->year > 9999) {
        return std::nullopt;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", civil->year, civil->month,
                  civil->day, civil->hour, civil->minute, civil->second);
    return std::string(buffer);
}

std::optional<JsonProject> decodeJsonProject(std::string_view text) {
    const Json dom = parseDom(text);
    if (dom.is_null()) {
        return std::nullopt;
    }
    return decodeProjectObject(dom);
}

std::optional<JsonProjectData> loadJsonProject(const std::filesystem::path& file) {
    try {
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        if (ec || size > kMaxProjectJsonBytes) {
            return std::nullopt;
        }
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            return std::nullopt;
        }
        std::string text(size, '\0');
        in.read(text.data(), static_cast<std::streamsize>(size));
        if (in.gcount() != static_cast<std::streamsize>(size)) {
            return std::nullopt;
        }
        auto project = decodeJsonProject(text);
        if (!project) {
            return std::nullopt;
        }
        return JsonProjectData{std::move(project)};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string encodeJsonProjectText(const JsonProject& project, bool prettyPrint) {
    Writer writer;
    const OrderedJson json = writer.project(project);
    try {
        return json.dump(prettyPrint ? 2 : -1);
    } catch (const nlohmann::json::exception& error) {
        // Text that is not valid UTF-8 cannot be written as JSON.
        throw JsonCodingError(JsonCodingError::Code::notEncodable, error.what());
    }
}

std::optional<std::string> encodeJsonProject(const JsonProjectData& data) {
    if (!data.data) {
        return std::nullopt;
    }
    try {
        return encodeJsonProjectText(*data.data);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace document
