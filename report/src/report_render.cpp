#include "report/report_render.hpp"

#include "cell_text.hpp"
#include "core/calendar.hpp"
#include "core/executor.hpp"
#include "report_builder.hpp"

#include <unicode/locid.h>
#include <unicode/numberformatter.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace report {

namespace detail {

// ICU's own formatter rather than core's wrapper: the cells need its sign policy that never
// writes a negative zero, and an immutable formatter that threads share without a lock.
struct NumberFormat {
    icu::number::LocalizedNumberFormatter formatter;
};

namespace {

std::pair<int, int> fractionDigits(ReportRender::DecimalPlaces places) {
    const int raw = static_cast<int>(places);
    if (raw <= 4) {
        return {0, raw};
    }
    return {raw - 4, raw - 4};
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::string formatWith(const NumberFormat& format, double amount) {
    UErrorCode status = U_ZERO_ERROR;
    const auto formatted = format.formatter.formatDouble(amount, status);
    if (U_FAILURE(status)) {
        return {};
    }
    const icu::UnicodeString text = formatted.toString(status);
    if (U_FAILURE(status)) {
        return {};
    }
    return toUtf8(text);
}

} // namespace

CellTextMaker::CellTextMaker(const ReportRender& render, std::string_view currency,
                             bool withCurrency)
    : m_render(render), m_currency(currency), m_withCurrency(withCurrency) {}

const std::string& CellTextMaker::text(double amount, bool hideZero) {
    static const std::string kEmpty;
    if (hideZero && amount == 0.0) {
        return kEmpty;
    }
    std::uint64_t bits = 0;
    std::memcpy(&bits, &amount, sizeof bits);
    const auto found = m_memo.find(bits);
    if (found != m_memo.end()) {
        return found->second;
    }
    std::string number = m_render.formatNumber(amount);
    std::string text;
    if (!number.empty()) {
        text = m_withCurrency ? m_render.formatValue(amount, m_currency, false) : number;
    }
    return m_memo.emplace(bits, std::move(text)).first->second;
}

TitleMaker::TitleMaker(const ReportRender& render) : m_render(render) {
    // Titles are Gregorian dates in the report's zone, in the render's locale.
    const core::Calendar calendar = core::Calendar::current();
    for (auto* format : {&m_day, &m_month}) {
        format->setCalendar(calendar);
        format->setLocale(render.localeId());
    }
    m_day.setLocalizedDateFormatFromTemplate("yMd");
    m_month.setLocalizedDateFormatFromTemplate("yMMM");
}

TitleMaker::~TitleMaker() = default;

std::string TitleMaker::title(const Period& period) const {
    switch (period.kind()) {
    case Period::Kind::day:
        return m_day.string(period.date());
    case Period::Kind::week:
        if (m_render.weekDisplay() == ReportRender::WeekDisplay::week) {
            // Appending keeps GCC 12 clear of a false -Wrestrict on `"W" + std::string`.
            std::string title(1, 'W');
            title.append(std::to_string(std::get<Period::Week>(period.payload()).week));
            return title;
        }
        return m_day.string(period.date());
    case Period::Kind::month:
        if (m_render.monthDisplay() == ReportRender::MonthDisplay::month) {
            return m_month.string(period.date());
        }
        return m_day.string(period.date());
    }
    return {};
}

} // namespace detail

std::optional<ReportRender::DecimalPlaces>
ReportRender::decimalPlacesFromRaw(std::int64_t raw) noexcept {
    if (raw < 0 || raw > 8) {
        return std::nullopt;
    }
    return static_cast<DecimalPlaces>(raw);
}

std::optional<ReportRender::CurrencyDisplay>
ReportRender::currencyDisplayFromRaw(std::int64_t raw) noexcept {
    if (raw < 0 || raw > 2) {
        return std::nullopt;
    }
    return static_cast<CurrencyDisplay>(raw);
}

ReportRender::ReportRender(DecimalPlaces decimalPlaces, CurrencyDisplay currencyDisplay,
                           WeekDisplay weekDisplay, MonthDisplay monthDisplay,
                           ExceedPolicy exceedPolicy)
    : ReportRender(decimalPlaces, currencyDisplay, weekDisplay, monthDisplay, exceedPolicy,
                   core::CalendarSettings::current().localeId) {}

ReportRender::ReportRender(DecimalPlaces decimalPlaces, CurrencyDisplay currencyDisplay,
                           WeekDisplay weekDisplay, MonthDisplay monthDisplay,
                           ExceedPolicy exceedPolicy, const std::string& localeId)
    : m_decimalPlaces(decimalPlaces), m_currencyDisplay(currencyDisplay),
      m_weekDisplay(weekDisplay), m_monthDisplay(monthDisplay), m_exceedPolicy(exceedPolicy),
      m_localeId(localeId) {
    const auto [minDigits, maxDigits] = detail::fractionDigits(decimalPlaces);
    m_format = std::make_shared<const detail::NumberFormat>(detail::NumberFormat{
        icu::number::NumberFormatter::withLocale(icu::Locale(localeId.c_str()))
            .grouping(UNUM_GROUPING_OFF)
            .precision(icu::number::Precision::minMaxFraction(minDigits, maxDigits))
            .roundingMode(UNUM_ROUND_HALFEVEN)
            .integerWidth(icu::number::IntegerWidth::zeroFillTo(1))
            .sign(UNUM_SIGN_NEGATIVE)});
}

std::string ReportRender::formatNumber(double amount) const {
    return detail::formatWith(*m_format, amount);
}

std::string ReportRender::formatValue(double amount, std::string_view currency,
                                      bool hideZero) const {
    if (hideZero && amount == 0.0) {
        return {};
    }
    std::string number = formatNumber(amount);
    if (number.empty()) {
        return {};
    }
    switch (m_currencyDisplay) {
    case CurrencyDisplay::atEnd:
        return number.append(currency);
    case CurrencyDisplay::atStart:
        return std::string(currency).append(number);
    case CurrencyDisplay::none:
        break;
    }
    return number;
}

std::string ReportRender::periodTitle(const Period& period) const {
    return detail::TitleMaker(*this).title(period);
}

std::string summaryTotalText(const ProjectReport::Value& total, ProjectReport::ValueKind kind,
                             std::string_view currency, const ReportRender& render) {
    const double amount = total.amount(kind);
    if (kind.isWork()) {
        return render.formatNumber(amount);
    }
    return render.formatValue(amount, currency, false);
}

std::vector<ProjectReport::Element>
makeTimelineCells(const std::vector<ProjectReport::TimelineCellInfo>& timeline,
                  const ReportRender& render) {
    const detail::TitleMaker titles(render);
    std::vector<ProjectReport::Element> cells;
    cells.reserve(timeline.size());
    for (const auto& info : timeline) {
        cells.push_back(
            {ProjectReport::Element::Timeline{info.period.date(), titles.title(info.period)}});
    }
    return cells;
}

std::vector<ProjectReport::Element>
makePeriodSubtotalCells(const std::vector<ProjectReport::TimelineCellInfo>& timeline,
                        const ReportRender& render, ProjectReport::ValueKind kind,
                        std::string_view currency) {
    detail::CellTextMaker texts(render, currency, kind.isCost());
    std::vector<ProjectReport::Element> cells;
    cells.reserve(timeline.size());
    for (const auto& info : timeline) {
        cells.push_back({ProjectReport::Element::PeriodSubtotal{
            info.period.date(), texts.text(info.total.amount(kind), true)}});
    }
    return cells;
}

bool isExceeded(const ProjectReport::Value& value, double availableHours,
                ReportRender::ExceedPolicy policy) {
    if (policy == ReportRender::ExceedPolicy::any) {
        return value.overloadedDay;
    }
    return value.work > availableHours + detail::kExceedTolerance;
}

namespace {

void appendValueCells(std::vector<ProjectReport::Element>& cells, const ProjectReport& report,
                      std::size_t rowIndex, ProjectReport::ValueKind kind,
                      const ReportRender& render, detail::CellTextMaker& texts) {
    const auto& row = report.rows().at(rowIndex);
    const auto& timeline = report.timeline();
    for (std::size_t i = 0; i < timeline.size(); ++i) {
        const ProjectReport::Value& cell = row.data(i);
        const bool exceed =
            kind.isWork() && isExceeded(cell, timeline[i].availableHours, render.exceedPolicy());
        cells.push_back(
            {ProjectReport::Element::Value{rowIndex, row.memberID(), timeline[i].period.date(),
                                           texts.text(cell.amount(kind), true), exceed}});
    }
}

} // namespace

std::vector<ProjectReport::Element>
makeValueCells(const ProjectReport& report, std::size_t rowIndex, ProjectReport::ValueKind kind,
               const ReportRender& render, std::string_view currency) {
    detail::CellTextMaker texts(render, currency, kind.isCost());
    std::vector<ProjectReport::Element> cells;
    cells.reserve(report.timeline().size());
    appendValueCells(cells, report, rowIndex, kind, render, texts);
    return cells;
}

namespace {

// A daily grid holds hundreds of thousands of cells: its rows are made in parts on the
// background pool while the calling thread makes parts too and indexes the finished ones in
// order. A part no worker has taken yet is made by the caller, so a busy pool only slows the
// render down, never stalls it.
class RowParts {
public:
    using Cells = std::vector<ProjectReport::Element>;

    RowParts(std::size_t parts, std::function<void(std::size_t)> make)
        : m_state(std::make_shared<State>(parts, std::move(make))) {}

    // Never returns while a worker still makes a part: the parts refer to the caller's data.
    ~RowParts() {
        std::size_t claimed = m_state->next.exchange(m_state->parts);
        claimed = std::min(claimed, m_state->parts);
        std::unique_lock lock(m_state->mutex);
        m_state->changed.wait(lock, [&] {
            return std::all_of(m_state->done.begin(),
                               m_state->done.begin() + static_cast<std::ptrdiff_t>(claimed),
                               [](bool done) { return done; });
        });
    }
    RowParts(const RowParts&) = delete;
    RowParts& operator=(const RowParts&) = delete;

    // Offers the parts to up to `helpers` pool workers.
    void share(std::size_t helpers) {
        for (std::size_t i = 0; i < helpers; ++i) {
            core::background()->post([state = m_state] {
                while (state->makeNext()) {
                }
            });
        }
    }

    // Returns once part `index` is made, making others meanwhile; rethrows a part's failure.
    void await(std::size_t index) {
        for (;;) {
            {
                std::lock_guard lock(m_state->mutex);
                if (m_state->failure) {
                    std::rethrow_exception(m_state->failure);
                }
                if (m_state->done[index]) {
                    return;
                }
            }
            if (!m_state->makeNext()) {
                std::unique_lock lock(m_state->mutex);
                m_state->changed.wait(lock,
                                      [&] { return m_state->done[index] || m_state->failure; });
            }
        }
    }

private:
    struct State {
        State(std::size_t count, std::function<void(std::size_t)> work)
            : parts(count), make(std::move(work)), done(count, false) {}

        // Makes the next part nobody has taken; false when none is left.
        bool makeNext() {
            const std::size_t index = next.fetch_add(1);
            if (index >= parts) {
                return false;
            }
            std::exception_ptr error;
            try {
                make(index);
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard lock(mutex);
                done[index] = true;
                if (error && !failure) {
                    failure = error;
                }
            }
            changed.notify_all();
            return true;
        }

        const std::size_t parts;
        const std::function<void(std::size_t)> make;
        std::atomic<std::size_t> next{0};
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<bool> done;
        std::exception_ptr failure;
    };

    std::shared_ptr<State> m_state;
};

// About this many cells go into one part: enough to outweigh handing it over, few enough that
// the parts spread evenly over the workers.
constexpr std::size_t kCellsPerPart = 16'384;

} // namespace

ReportSnapshot makeSnapshot(const ProjectReport& report, ProjectReport::ValueKind kind,
                            std::string_view currency, const ReportRender& render) {
    ReportSnapshot snapshot;
    if (report.isTooLarge()) {
        // An empty grid: the window says instead why there is nothing to show.
        snapshot.appendSections({0});
        return snapshot;
    }
    const auto& rows = report.rows();
    std::vector<int> sections(rows.size() + 2);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        sections[i] = static_cast<int>(i);
    }
    snapshot.appendSections(sections);
    snapshot.reserve(report.timeline().size() * (rows.size() + 2) + 2 * rows.size() + 1);

    // The first part (index 0) makes the two header rows, each later part a run of member rows.
    const std::size_t columns = report.timeline().size() + 2;
    const std::size_t rowsPerPart = std::max<std::size_t>(1, kCellsPerPart / columns);
    const std::size_t rowParts = (rows.size() + rowsPerPart - 1) / rowsPerPart;
    std::vector<std::vector<ProjectReport::Element>> made(2 + rows.size());
    const auto makePart = [&](std::size_t part) {
        if (part == 0) {
            std::vector<ProjectReport::Element> titleRow;
            titleRow.reserve(report.timeline().size() + 1);
            titleRow.push_back({ProjectReport::Element::Summary{
                summaryTotalText(report.total(), kind, currency, render)}});
            auto titles = makeTimelineCells(report.timeline(), render);
            std::move(titles.begin(), titles.end(), std::back_inserter(titleRow));
            made[0] = std::move(titleRow);
            made[1] = makePeriodSubtotalCells(report.timeline(), render, kind, currency);
            return;
        }
        detail::CellTextMaker texts(render, currency, kind.isCost());
        const std::size_t first = (part - 1) * rowsPerPart;
        for (std::size_t k = first; k < std::min(rows.size(), first + rowsPerPart); ++k) {
            const auto& row = rows[k];
            std::vector<ProjectReport::Element> cells;
            cells.reserve(columns);
            cells.push_back({ProjectReport::Element::Member{k, row.memberID(), row.name()}});
            cells.push_back({ProjectReport::Element::MemberSubtotal{
                k, row.memberID(), texts.text(row.total().amount(kind), true)}});
            appendValueCells(cells, report, k, kind, render, texts);
            made[k + 2] = std::move(cells);
        }
    };
    RowParts parts(1 + rowParts, makePart);
    const std::size_t cores = std::max(1U, std::thread::hardware_concurrency());
    parts.share(std::min(rowParts, cores - 1));
    parts.await(0);
    snapshot.appendItems(std::move(made[0]), 0);
    snapshot.appendItems(std::move(made[1]), 1);
    for (std::size_t part = 1; part <= rowParts; ++part) {
        parts.await(part);
        const std::size_t first = (part - 1) * rowsPerPart;
        for (std::size_t k = first; k < std::min(rows.size(), first + rowsPerPart); ++k) {
            snapshot.appendItems(std::move(made[k + 2]), static_cast<int>(k + 2));
        }
    }
    return snapshot;
}

} // namespace report
