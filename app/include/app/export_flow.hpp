#pragma once

#include "core/executor.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace app {

/// One opening of the CSV export sheet, without widgets: the text is made and written to a
/// fresh temporary file on a worker, the state moves once from generating to exported or
/// failed, a save copies the temporary file to the chosen place, and closing removes the
/// temporary file, also when it is still being written.
class ExportFlow {
public:
    static constexpr std::string_view kTitle = "CSV";
    static constexpr std::string_view kGenerating = "Generating...";
    static constexpr std::string_view kGenerateFailed = "Failed to generate the CSV file";
    static constexpr std::string_view kSaveFailed = "Failed to save!";
    static constexpr std::string_view kSave = "Save";
    static constexpr std::string_view kDone = "Done";
    /// The extension of the temporary file and the suffix offered to the save chooser.
    static constexpr std::string_view kSuffix = "csv";
    /// The suggested file name when the project has no name.
    static constexpr std::string_view kUntitled = "Untitled";

    /// Where the sheet stands: `generating` until the file is written, then `exported` with the
    /// file's path (the preview and the Save button show) or `failed`.
    class ViewState {
    public:
        /// The cases, in order.
        enum class Case { exported, generating, failed };

        /// The file at `url` is written and previewed.
        static ViewState exported(std::filesystem::path url) {
            return ViewState(Case::exported, std::move(url));
        }
        /// The text is being made and written.
        static ViewState generating() { return ViewState(Case::generating, {}); }
        /// The text could not be made or written.
        static ViewState failed() { return ViewState(Case::failed, {}); }

        /// The case.
        Case kind() const noexcept { return m_case; }
        /// The written file's path; empty unless exported.
        const std::filesystem::path& url() const noexcept { return m_url; }
        /// Equal when the cases are equal and, for `exported`, the paths too.
        friend bool operator==(const ViewState&, const ViewState&) = default;

    private:
        ViewState(Case kind, std::filesystem::path url) : m_case(kind), m_url(std::move(url)) {}
        Case m_case;
        std::filesystem::path m_url;
    };

    /// How a save ended.
    enum class SaveOutcome {
        /// The chooser was cancelled: nothing is shown.
        cancelled,
        /// The chosen file now holds the temporary file's bytes: it is revealed.
        saved,
        /// The chosen file could not be written; an existing one there is left intact.
        failed
    };

    /// A fresh path named by a new UUID with the extension "csv" in `folder`, or in the system's
    /// temporary folder when `folder` is empty; nothing is created.
    static std::filesystem::path temporaryTarget(const std::filesystem::path& folder = {});

    /// A flow that will write to `target`, in state generating.
    explicit ExportFlow(std::filesystem::path target);
    /// Closes the flow (see `close`).
    ~ExportFlow();
    ExportFlow(const ExportFlow&) = delete;
    ExportFlow& operator=(const ExportFlow&) = delete;

    /// The current state.
    const ViewState& state() const noexcept { return m_state; }
    /// The temporary file the flow writes.
    const std::filesystem::path& target() const noexcept { return m_target; }
    /// True while the Save button is shown: in state exported only.
    bool showsSaveButton() const noexcept { return m_state.kind() == ViewState::Case::exported; }

    /// Runs `makeText()` and the write on `worker`, then on `main` settles the state and calls
    /// `done` with it, unless the flow was closed meanwhile. The job holds `main` until it has
    /// posted there. Call once, on `main`'s thread.
    void start(std::function<std::string()> makeText, core::Executor& worker,
               std::shared_ptr<core::Executor> main, std::function<void(const ViewState&)> done);
    /// Takes `next` as the state when it differs from the current one; only a generating flow
    /// moves. Returns whether the state changed.
    bool settle(const ViewState& next);
    /// Ends the flow: the temporary file is removed now, or right after its write when that is
    /// still running; `done` is not called any more. Safe to call twice.
    void close();

    /// Writes `text` to `target` as UTF-8 without a byte-order mark, atomically; an empty text
    /// counts as a failure (nothing was loaded to export). Any thread.
    static ViewState writeCsv(std::string_view text, const std::filesystem::path& target);
    /// Copies `source`'s bytes to `destination` through a temporary file renamed over it, so an
    /// existing file is replaced whole or left intact; `cancelled` when no destination was
    /// chosen.
    static SaveOutcome save(const std::filesystem::path& source,
                            const std::optional<std::filesystem::path>& destination);
    /// The name offered to the save chooser: the project's name with "/" and NUL replaced by
    /// "-", or "Untitled" when the name is empty.
    static std::string suggestedFileName(std::string_view projectName);

private:
    struct Shared;

    std::filesystem::path m_target;
    ViewState m_state = ViewState::generating();
    std::shared_ptr<Shared> m_shared;
};

} // namespace app
