#include "app/export_flow.hpp"

#include "files/vt_path.hpp"

#include <QFile>
#include <QSaveFile>

#include <QString>
#include <fcntl.h>
#include <unistd.h>

#include <mutex>
#include <utility>

namespace app {

// What the worker and the flow share: whether the flow was closed, guarded so that the file is
// removed exactly once whichever of close and write comes last.
struct ExportFlow::Shared {
    std::mutex mutex;
    bool closed = false;
    bool written = false;
};

namespace {

void removeQuietly(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

QString toQString(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

} // namespace

std::filesystem::path ExportFlow::temporaryTarget(const std::filesystem::path& folder) {
    const files::VtFile fresh = files::VtFile::tmp(kSuffix);
    if (folder.empty()) {
        return fresh.url();
    }
    return folder / fresh.url().filename();
}

ExportFlow::ExportFlow(std::filesystem::path target)
    : m_target(std::move(target)), m_shared(std::make_shared<Shared>()) {}

ExportFlow::~ExportFlow() {
    close();
}

void ExportFlow::start(std::function<std::string()> makeText, core::Executor& worker,
                       std::shared_ptr<core::Executor> main,
                       std::function<void(const ViewState&)> done) {
    // Neither the flow nor the main loop need outlive the job (the application may be ending),
    // so the job owns what it reaches: `shared`, the loop and copies.
    worker.post([shared = m_shared, target = m_target, makeText = std::move(makeText),
                 main = std::move(main), done = std::move(done)]() mutable {
        ViewState result = ViewState::failed();
        try {
            result = writeCsv(makeText(), target);
        } catch (const std::exception&) {
            // The sheet reports any failure by its one fixed text.
        }
        {
            const std::lock_guard lock(shared->mutex);
            shared->written = true;
            if (shared->closed) {
                removeQuietly(target);
                return;
            }
        }
        main->post([shared, result = std::move(result), done = std::move(done)] {
            bool closed = false;
            {
                const std::lock_guard lock(shared->mutex);
                closed = shared->closed;
            }
            if (!closed && done) {
                done(result);
            }
        });
    });
}

bool ExportFlow::settle(const ViewState& next) {
    if (m_state.kind() != ViewState::Case::generating || next == m_state) {
        return false;
    }
    m_state = next;
    return true;
}

void ExportFlow::close() {
    const std::lock_guard lock(m_shared->mutex);
    if (m_shared->closed) {
        return;
    }
    m_shared->closed = true;
    // Before the write has finished the worker removes the file itself once it is written.
    if (m_shared->written) {
        removeQuietly(m_target);
    }
}

ExportFlow::ViewState ExportFlow::writeCsv(std::string_view text,
                                           const std::filesystem::path& target) {
    if (text.empty()) {
        return ViewState::failed();
    }
    // The report names people and what they cost, and the temporary folder is shared by every
    // local user: the file is made the user's alone before anything is written into it (the
    // atomic write keeps its permissions).
    const int created = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (created < 0) {
        return ViewState::failed();
    }
    ::close(created);
    try {
        files::VtFile(target).writeString(text, true);
    } catch (const std::exception&) {
        removeQuietly(target);
        return ViewState::failed();
    }
    return ViewState::exported(target);
}

ExportFlow::SaveOutcome ExportFlow::save(const std::filesystem::path& source,
                                         const std::optional<std::filesystem::path>& destination) {
    if (!destination) {
        return SaveOutcome::cancelled;
    }
    QFile input(toQString(source));
    if (!input.open(QIODevice::ReadOnly)) {
        return SaveOutcome::failed;
    }
    QSaveFile output(toQString(*destination));
    if (!output.open(QIODevice::WriteOnly)) {
        return SaveOutcome::failed;
    }
    constexpr qint64 kChunk = 1 << 16;
    while (!input.atEnd()) {
        const QByteArray chunk = input.read(kChunk);
        if (chunk.isEmpty() && input.error() != QFileDevice::NoError) {
            output.cancelWriting();
            break;
        }
        if (output.write(chunk) != chunk.size()) {
            output.cancelWriting();
            break;
        }
    }
    return output.commit() ? SaveOutcome::saved : SaveOutcome::failed;
}

std::string ExportFlow::suggestedFileName(std::string_view projectName) {
    if (projectName.empty()) {
        return std::string(kUntitled);
    }
    std::string name(projectName);
    for (char& c : name) {
        if (c == '/' || c == '\0') {
            c = '-';
        }
    }
    return name;
}

} // namespace app
