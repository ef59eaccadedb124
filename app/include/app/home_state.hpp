#pragma once

#include "app/document_context.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace app {

/// A window's state and the only rules by which it changes: nothing open, a document being
/// opened, or a document open, plus the text of the window's alert. A plain value: the window
/// feeds it events and shows what it holds.
struct HomeState {
    /// Nothing is open: the welcome screen shows.
    struct Ideal {
        friend bool operator==(const Ideal&, const Ideal&) = default;
    };
    /// The document at `url` is being opened.
    struct Loading {
        std::filesystem::path url;
        friend bool operator==(const Loading&, const Loading&) = default;
    };
    /// The document is open; equal when the contexts' URLs are.
    struct Loaded {
        std::shared_ptr<const DocumentContext> context;
        friend bool operator==(const Loaded& a, const Loaded& b) noexcept {
            return a.context == b.context || (a.context && b.context && *a.context == *b.context);
        }
    };
    /// The three states a window goes through.
    using ViewState = std::variant<Loading, Loaded, Ideal>;

    /// The user chose or dropped a file.
    struct FileSelected {
        std::filesystem::path url;
    };
    /// The document at `url` opened as `context`.
    struct LoadSucceeded {
        std::filesystem::path url;
        std::shared_ptr<const DocumentContext> context;
    };
    /// The document at `url` could not be opened.
    struct LoadFailed {
        std::filesystem::path url;
    };
    /// A screen asked for an alert showing `message`.
    struct ErrorRequested {
        std::string message;
    };
    /// The user dismissed the alert.
    struct AlertDismissed {};
    /// Everything that changes a window's state.
    using Event =
        std::variant<FileSelected, LoadSucceeded, LoadFailed, ErrorRequested, AlertDismissed>;

    /// The alert text after a failed open.
    static constexpr std::string_view kLoadFailedMessage = "Failed to load the project file";
    /// The alert text when a message has no text.
    static constexpr std::string_view kNoMessageTitle = "Something is wrong";

    /// What the window shows.
    ViewState viewState = Ideal{};
    /// The alert's text while it shows; absent while no alert shows.
    std::optional<std::string> error;

    /// The state after `event`. A file is taken only on the welcome screen; a load result counts
    /// only for the document being loaded (a stale one changes nothing); a failure returns to the
    /// welcome screen with the fixed alert; an alert request shows from any state, replacing the
    /// text of one already showing.
    static HomeState reduce(HomeState state, const Event& event);

    /// The text the alert shows: the message, or "Something is wrong" when it is empty.
    std::string alertTitle() const;

    /// True while nothing is open.
    bool isIdeal() const noexcept { return std::holds_alternative<Ideal>(viewState); }
    /// The URL being loaded, if loading.
    const std::filesystem::path* loadingUrl() const noexcept;
    /// The open document, if loaded.
    std::shared_ptr<const DocumentContext> loadedContext() const noexcept;

    friend bool operator==(const HomeState&, const HomeState&) = default;
};

} // namespace app
