// Real folder trees for the file scan tests: files, folders and Linux symbolic links under Wine.
#pragma once

#include <initializer_list>
#include <string_view>
#include <string>

// Creates each entry below aRoot; an entry ending with a backslash is a folder, any other an
// empty file. Entries may start with \\?\ paths for names Win32 would otherwise trim.
void MakeTree(const std::wstring& aRoot, std::initializer_list<const wchar_t*> aEntries);

// A Linux symbolic link made under Wine, removed again when the object goes (before its folder:
// a TempFolder cannot remove a tree that holds links to folders).
class LinuxLink {
public:
    // aTarget: a Linux path, relative to the link's folder or absolute.
    LinuxLink(const std::wstring& aLink, const std::string& aTarget);
    ~LinuxLink();
    LinuxLink(const LinuxLink&) = delete;
    LinuxLink& operator=(const LinuxLink&) = delete;

    // False when not running under Wine or the link did not appear.
    bool Made() const { return made_; }

private:
    std::wstring link_;
    std::string unixLink_;
    bool made_ = false;
};

// Folders made by Linux below aFolder, the "/"-separated chain aChain, deeper than Wine's own calls
// reach; removed again when the object goes (before its folder).
class LinuxFolders {
public:
    LinuxFolders(const std::wstring& aFolder, const std::string& aChain);
    ~LinuxFolders();
    LinuxFolders(const LinuxFolders&) = delete;
    LinuxFolders& operator=(const LinuxFolders&) = delete;

    // False when not running under Wine or the folders did not appear.
    bool Made() const { return made_; }

private:
    std::wstring marker_;
    std::string unixFolder_;
    std::string top_;
    bool made_ = false;
};

// Writes aContent to a new file at aPath, spelled as given (a \\?\ path keeps trailing dots and spaces).
void WriteNamedFile(const std::wstring& aPath, const std::string& aContent);

// A name of aLength characters.
std::wstring LongName(std::size_t aLength, wchar_t aFill);
