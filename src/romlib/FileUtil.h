#pragma once
// File access used across the core: whole-file reads, atomic replacement,
// the places the program keeps its files, and the parts of a path. Only "/"
// separates directories; ":" and "\" are parts of names.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// A file that cannot be opened, read or written. The message names the file.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole content of the file at `path`. Raises FileError when it cannot be
// opened or read, when it is not a regular file (a FIFO or a device is never
// opened for reading, so it cannot block), when it shrinks while it is read,
// or when it is larger than `maxSize`.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t maxSize);

// The same, except that a file larger than `maxSize` gives nullopt instead of
// an error. Nothing beyond `maxSize` is ever held in memory.
std::optional<std::vector<std::uint8_t>> ReadFileWithin(const std::string& path, std::size_t maxSize);

// The first `size` bytes of the open file `fd`, copied into memory with
// pread from offset 0. A file that holds fewer bytes (it shrank after its
// size was taken) raises FileError naming `path`, as does a read error: a
// file that changes under the reader is an error, never a fault.
std::vector<std::uint8_t> ReadFileBytes(int fd, std::size_t size, const std::string& path);

// Replaces the file at `path` whole. The bytes go to a temporary file
// ".korva-HHHHHHHH-XXXXXX" in the same directory (HHHHHHHH: the CRC-32 of
// the target's name), flushed, which is then renamed over it, so a failure
// or a kill never leaves a half-written file: the old one stays.
// - A symbolic link at `path` stays; the file it names is replaced.
// - The replaced file keeps its mode (and its owner where the system lets
//   us); a new file gets 0666 less the umask.
// - A file the user may not write to, a name too long for its directory and
//   a missing or read-only directory are refused before anything is written,
//   with the error a direct write would give.
// - Temporaries of the same target that a killed save left are removed (a
//   save holds a lock on its own while it lasts); no other file is.
// Raises FileError "Cannot write "PATH": REASON" with the system's reason.
void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes);
void WriteFileAtomic(const std::string& path, std::string_view text);

// One file of a set: where it goes and its whole new content.
struct FileContent {
  std::string Path;
  std::span<const std::uint8_t> Bytes;
};

// Replaces the files of `set` as one set, each as WriteFileAtomic does:
// every name is checked, then every new file is written whole and flushed
// beside its target, and only then are they renamed over their targets, in
// the order given. After any failure the files are all the old ones (none
// where there was none): a rename that fails puts back the files renamed
// before it. Two names of one file are refused before anything is written.
// Only a crash between two renames leaves some files new and the rest old;
// the next write of the set removes its leftovers and writes it whole.
void WriteFilesAtomic(std::span<const FileContent> set);

// True when both paths name one existing file (links followed), compared by
// device and inode, never by spelling.
bool SameFile(const std::string& a, const std::string& b);

// Raises the FileError that WriteFileAtomic(path, ...) would raise before
// writing anything, and does nothing else. Lets a command that writes
// several files refuse before the first one.
void CheckWritable(const std::string& path);

bool FileExists(const std::string& path);       // a regular file (or a link to one)

// The names of the regular files (or links to one) directly in `directory`
// for which `wanted(name)` is true (all when it is empty), in the order the
// file system lists them. Only a wanted name whose type the directory does
// not give is asked of the file system. Raises std::filesystem::filesystem_error
// when the directory cannot be read.
std::vector<std::string> ListFiles(const std::string& directory,
                                   const std::function<bool(std::string_view name)>& wanted = {});
bool DirectoryExists(const std::string& path);

// True when `a` and `b` are the same text without regard to the case of A to Z.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// True when `name` ends in `ext` (".nes"), compared without regard to case.
bool HasExtension(std::string_view name, std::string_view ext);

// The file-name part of a path: what follows its last "/" (all of it when
// there is none).
std::string FileNamePart(std::string_view path);

// `path` without its extension, the part of its file name from the last "."
// on: "/d/set1.v2.korva" gives "/d/set1.v2", "Game.nes" gives "Game". A path
// whose file name has no "." stays whole (a "." in a directory does not count).
std::string WithoutExtension(std::string_view path);

// The directory `path` lies in, absolute and lexically normal, ending in a
// separator: the working directory for a bare name.
std::string FullDirectoryOf(const std::string& path);

// The directory of the running program, ending in a path separator.
std::string ProgramDirectory();

// The per-user data directory, $XDG_DATA_HOME/korva or ~/.local/share/korva,
// ending in a path separator. Not created here.
std::string UserDataDirectory();

// The path separator of the platform, "/" here.
constexpr char kPathSeparator = '/';

}  // namespace korva
