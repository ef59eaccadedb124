#include "files/vt_path.hpp"

namespace fs = std::filesystem;

namespace files {

namespace {

bool isHidden(const fs::path& path) {
    const std::string name = path.filename().string();
    return !name.empty() && name.front() == '.';
}

} // namespace

std::vector<VtFile> VtFolder::fetchSubFiles(FileType fileType, bool skipsHiddenFiles) const {
    const bool wantsRegular = (fileType.rawValue & FileType::kRegular) != 0;
    const bool wantsPackage = (fileType.rawValue & FileType::kPackage) != 0;
    if (!wantsRegular && !wantsPackage) {
        return {};
    }
    std::error_code ec;
    fs::directory_iterator it(m_url, ec);
    std::vector<VtFile> files;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        if (skipsHiddenFiles && isHidden(path)) {
            continue;
        }
        // Like the platform's resource values, a symbolic link is neither a regular file nor a
        // package.
        std::error_code statusError;
        const bool isRegular = it->symlink_status(statusError).type() == fs::file_type::regular;
        VtFile file(path);
        if ((wantsRegular && isRegular) || (wantsPackage && file.isPackage())) {
            files.push_back(std::move(file));
        }
    }
    if (ec) {
        return {};
    }
    return files;
}

std::vector<VtFolder> VtFolder::fetchSubFolders() const {
    std::error_code ec;
    fs::directory_iterator it(m_url, ec);
    std::vector<VtFolder> folders;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code statusError;
        if (!isHidden(it->path()) &&
            it->symlink_status(statusError).type() == fs::file_type::directory) {
            folders.emplace_back(it->path(), false);
        }
    }
    if (ec) {
        return {};
    }
    return folders;
}

} // namespace files
