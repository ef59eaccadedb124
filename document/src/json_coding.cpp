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
        std::size_t tasks = 0;
        while (!pending.empty()) {
            const Pending p = pending.back();
            pending.pop_back();
            if (++tasks > kMaxJsonTasks) {
                throw JsonCodingError(JsonCodingError::Code::notEncodable,
                                      "The task tree is too large to be read back");
            }
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
            if (p.peoples->size() > kMaxJsonMembers) {
                throw JsonCodingError(JsonCodingError::Code::notEncodable,
                                      "The team is too large to be read back");
            }
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
    return extension.size() == kZozFileExtension.size() + 1 && extension.front() == '.' &&
           std::string_view(extension).substr(1) == kZozFileExtension;
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
        const std::string text = json.dump(prettyPrint ? 2 : -1);
        // The document's writers escape every slash ("a\/b"); outside strings the text has none.
        std::string escaped;
        escaped.reserve(text.size() +
                        static_cast<std::size_t>(std::count(text.begin(), text.end(), '/')));
        for (const char c : text) {
            if (c == '/') {
                escaped.push_back('\\');
            }
            escaped.push_back(c);
        }
        return escaped;
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
