// CProjectDoc's file members: the extension of the path chooses the format.

#include "document/ProjectDoc.h"

#include "files/ArchiveFile.h"
#include "files/ProjectFile.h"
#include "files/SmfProject.h"
#include "model/Errors.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace {

// A failed change of directory is no failure of the load.
void MakeFolderCurrent(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(path, error).parent_path();
    if (!error && !folder.empty()) std::filesystem::current_path(folder, error);
}

} // namespace

bool CProjectDoc::Load(const std::string& path, CUserServices* questions)
{
    const std::string ext = LowerExtension(path);
    try {
        if (ext == kProjectFileExtension) {
            LoadProjectFile(*this, path);
        } else if (ext == kSmfExtension) {
            // Opens as a new project without a path (saving asks for one).
            LoadSmfAsProject(*this, path, questions);
        } else {
            return false;
        }
    } catch (const std::bad_alloc&) {
        // Reported like every other failed load.
        throw COutOfMemory();
    }
    MakeFolderCurrent(path);
    return true;
}

void CProjectDoc::Save(const std::string& path)
{
    const std::string ext = LowerExtension(path);
    if (ext == kProjectFileExtension) {
        SaveProjectFile(*this, path);
    } else {
        throw CFileError(path + " cannot be saved: the file type is not known.");
    }
    SetPath(path);
    SetModified(false);
}
