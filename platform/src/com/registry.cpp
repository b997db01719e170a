#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>

#include "fvplatform/com_registry.h"
#include "fvplatform/module.h"

namespace fvplat::registry {
namespace {

// The most bytes a registry file may hold; a larger one (or a device that never ends) is not
// read at all, and then not written either, so nothing in it is lost.
constexpr std::size_t kMaxFileBytes = 16u << 20;

std::mutex& ProcessLock() {
  static std::mutex lock;
  return lock;
}

WriteFault& Fault() {
  static WriteFault fault;
  return fault;
}

std::string Lower(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text;
}

std::string Trimmed(const std::string& key) {
  std::string path = key;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  while (!path.empty() && path.front() == '\\') path.erase(path.begin());
  return path;
}

bool Below(const std::string& lowerKey, const std::string& lowerRoot) {
  return lowerKey == lowerRoot || (lowerKey.size() > lowerRoot.size() &&
                                   lowerKey.compare(0, lowerRoot.size(), lowerRoot) == 0 &&
                                   lowerKey[lowerRoot.size()] == '\\');
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char ch : text) {
    if (ch == '\\' || ch == '"') out.push_back('\\');
    if (ch == '\n') {
      out += "\\n";
      continue;
    }
    out.push_back(ch);
  }
  return out + "\"";
}

// Reads a quoted text at line[at]; at ends past the closing quote.
bool Unquote(const std::string& line, std::size_t& at, std::string& text) {
  if (at >= line.size() || line[at] != '"') return false;
  text.clear();
  for (++at; at < line.size(); ++at) {
    char ch = line[at];
    if (ch == '"') {
      ++at;
      return true;
    }
    if (ch == '\\' && at + 1 < line.size()) {
      ch = line[++at];
      if (ch == 'n') ch = '\n';
    }
    text.push_back(ch);
  }
  return false;
}

// One line of the file. Lines this layer does not understand (comments, another program's
// entries in a form of its own, blank lines) are kept as they came, byte for byte.
struct Line {
  enum class Kind { Other, Key, Value } kind = Kind::Other;
  std::string raw;   // without its line feed
  std::string key;   // Key: the path as spelled; Value: the lower-case path of its key
  std::string name;  // Value: the value name as spelled
  std::string text;  // Value: the value
};

Line ValueLine(const std::string& lowerKey, const std::string& name, const std::string& text) {
  Line line;
  line.kind = Line::Kind::Value;
  line.raw = (name.empty() ? std::string("@") : Quote(name)) + "=" + Quote(text);
  line.key = lowerKey;
  line.name = name;
  line.text = text;
  return line;
}

Line KeyLine(const std::string& path) {
  Line line;
  line.kind = Line::Kind::Key;
  line.raw = "[" + path + "]";
  line.key = path;
  return line;
}

class Document {
 public:
  void Parse(const std::string& content) {
    lines_.clear();
    std::string current;  // lower-case path of the key above, empty for none
    std::size_t from = 0;
    while (from < content.size()) {
      std::size_t end = content.find('\n', from);
      if (end == std::string::npos) end = content.size();
      Line line;
      line.raw = content.substr(from, end - from);
      from = end + 1;
      Understand(line, current);
      lines_.push_back(std::move(line));
    }
  }

  std::string Text() const {
    std::string out;
    for (const Line& line : lines_) out += line.raw + "\n";
    return out;
  }

  // The key paths, parents before children, each as first spelled.
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    std::vector<std::string> seen;
    for (const Line& line : lines_) {
      if (line.kind != Line::Kind::Key) continue;
      std::size_t at = 0;
      while (true) {
        const std::size_t slash = line.key.find('\\', at);
        const std::string part = slash == std::string::npos ? line.key : line.key.substr(0, slash);
        const std::string lower = Lower(part);
        if (std::find(seen.begin(), seen.end(), lower) == seen.end()) {
          seen.push_back(lower);
          keys.push_back(part);
        }
        if (slash == std::string::npos) break;
        at = slash + 1;
      }
    }
    return keys;
  }

  bool HasKey(const std::string& path) const {
    const std::string lower = Lower(path);
    for (const Line& line : lines_) {
      if (line.kind == Line::Kind::Key && Below(Lower(line.key), lower)) return true;
    }
    return false;
  }

  const Line* FindValue(const std::string& path, const std::string& name) const {
    return const_cast<Document&>(*this).Find(path, name);
  }

  // True when the document changed.
  bool AddKey(const std::string& path) {
    bool changed = false;
    std::size_t at = 0;
    while (true) {
      const std::size_t slash = path.find('\\', at);
      const std::string part = slash == std::string::npos ? path : path.substr(0, slash);
      if (!HasKey(part)) {
        lines_.push_back(KeyLine(part));
        changed = true;
      }
      if (slash == std::string::npos) return changed;
      at = slash + 1;
    }
  }

  bool Set(const std::string& path, const std::string& name, const std::string& text) {
    const std::string key = Lower(path);
    if (Line* existing = Find(path, name)) {
      if (existing->text == text) return false;
      *existing = ValueLine(key, existing->name, text);
      return true;
    }
    AddKey(path);
    // After the last line of the key's last section that this layer wrote or understood.
    std::size_t insertAt = lines_.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const Line& line = lines_[i];
      if ((line.kind == Line::Kind::Key && Lower(line.key) == key) ||
          (line.kind == Line::Kind::Value && line.key == key)) {
        insertAt = i + 1;
      }
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  ValueLine(key, name, text));
    return true;
  }

  // Removes the keys and values at and below `path`; lines not understood stay.
  bool Delete(const std::string& path) {
    const std::string root = Lower(path);
    const auto before = lines_.size();
    std::erase_if(lines_, [&](const Line& line) {
      return (line.kind == Line::Kind::Key && Below(Lower(line.key), root)) ||
             (line.kind == Line::Kind::Value && Below(line.key, root));
    });
    return lines_.size() != before;
  }

 private:
  static void Understand(Line& line, std::string& current) {
    std::string text = line.raw;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
      const std::string path = Trimmed(text.substr(1, text.size() - 2));
      current.clear();
      if (path.empty()) return;
      line.kind = Line::Kind::Key;
      line.key = path;
      current = Lower(path);
      return;
    }
    if (current.empty() || text.empty()) return;
    std::string name;
    std::size_t at = 0;
    if (text[0] == '@') {
      at = 1;
    } else if (!Unquote(text, at, name)) {
      return;
    }
    std::string value;
    if (at >= text.size() || text[at] != '=') return;
    ++at;
    if (!Unquote(text, at, value) || at != text.size()) return;
    line.kind = Line::Kind::Value;
    line.key = current;
    line.name = name;
    line.text = value;
  }

  Line* Find(const std::string& path, const std::string& name) {
    const std::string key = Lower(path), lowerName = Lower(name);
    Line* found = nullptr;
    for (Line& line : lines_) {
      if (line.kind == Line::Kind::Value && line.key == key && Lower(line.name) == lowerName) {
        found = &line;  // the last one counts, as when the file is read top down
      }
    }
    return found;
  }

  std::vector<Line> lines_;
};

// Reads at most the limit; none when the file is larger or cannot be read. An absent file is
// an empty registry.
std::optional<std::string> ReadBounded(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
  std::string content;
  char buffer[64 * 1024];
  bool ok = true;
  while (true) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0 || content.size() + static_cast<std::size_t>(got) > kMaxFileBytes) {
      ok = false;
      break;
    }
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return content;
}

// Holds the registry file for one read or read-modify-write, across processes as well.
class Session {
 public:
  Session() : guard_(ProcessLock()), path_(RegistryFile()) {
    // The file we write is the one a link points at.
    std::error_code error;
    if (std::filesystem::is_symlink(path_, error)) {
      const auto target = std::filesystem::weakly_canonical(path_, error);
      if (!error) path_ = target.string();
    }
    struct stat info {};
    const bool exists = ::stat(path_.c_str(), &info) == 0;
    regular_ = !exists || S_ISREG(info.st_mode);
    // Only beside a plain file (or none yet): never make files next to a device.
    if (regular_) {
      const auto folder = std::filesystem::path(path_).parent_path();
      if (!folder.empty()) std::filesystem::create_directories(folder, error);
      lockFd_ = ::open((path_ + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (lockFd_ >= 0) ::flock(lockFd_, LOCK_EX);
    }
    const auto content = ReadBounded(path_);
    readable_ = content.has_value();
    if (readable_) document_.Parse(*content);
  }
  ~Session() {
    if (lockFd_ >= 0) {
      ::flock(lockFd_, LOCK_UN);
      ::close(lockFd_);
    }
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Document& document() { return document_; }
  // Writing needs the whole file read first: what could not be read could not be kept.
  bool writable() const { return readable_ && regular_ && lockFd_ >= 0; }

  // Replaces the file in one step. The new file keeps the old one's owner and mode; a file
  // that is read-only, no plain file, could not be read whole, or whose owner and mode cannot
  // be kept is left as it is and the write fails.
  bool Save() {
    if (!writable()) return false;
    struct stat old {};
    const bool exists = ::stat(path_.c_str(), &old) == 0;
    if (exists && ((old.st_mode & S_IWUSR) == 0 || ::access(path_.c_str(), W_OK) != 0))
      return false;
    const std::string temp = path_ + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string text = document_.Text();
    bool ok = true;
    for (std::size_t at = 0; ok && at < text.size();) {
      const ssize_t put = ::write(fd, text.data() + at, text.size() - at);
      ok = put > 0;
      if (ok) at += static_cast<std::size_t>(put);
    }
    if (ok && exists) {
      ok = ::fchmod(fd, old.st_mode & 07777) == 0;
      struct stat made {};
      if (ok && ::fstat(fd, &made) == 0 &&
          (made.st_uid != old.st_uid || made.st_gid != old.st_gid)) {
        ok = ::fchown(fd, old.st_uid, old.st_gid) == 0;
      }
    }
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = std::rename(temp.c_str(), path_.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
  }

 private:
  std::lock_guard<std::mutex> guard_;
  std::string path_;
  int lockFd_ = -1;
  bool regular_ = true;
  bool readable_ = false;
  Document document_;
};

bool Refused(const std::string& key) {
  const WriteFault& fault = Fault();
  return fault && fault(key);
}

}  // namespace

std::string RegistryFile() {
  if (const char* file = std::getenv(kRegistryFileEnv); file != nullptr && *file != 0) return file;
  return (std::filesystem::path(ProgramDirectory()) / "hkcr.reg").string();
}

bool CreateKey(const std::string& key) {
  const std::string path = Trimmed(key);
  if (path.empty()) return false;
  Session session;
  if (Refused(path) || !session.writable()) return false;
  return !session.document().AddKey(path) || session.Save();
}

bool SetValue(const std::string& key, const std::string& name, const std::string& value) {
  const std::string path = Trimmed(key);
  if (path.empty()) return false;
  Session session;
  if (Refused(path) || !session.writable()) return false;
  return !session.document().Set(path, name, value) || session.Save();
}

std::optional<std::string> GetValue(const std::string& key, const std::string& name) {
  Session session;
  const auto* line = session.document().FindValue(Trimmed(key), name);
  if (line == nullptr) return std::nullopt;
  return line->text;
}

bool KeyExists(const std::string& key) {
  Session session;
  const std::string path = Trimmed(key);
  return !path.empty() && session.document().HasKey(path);
}

bool DeleteTree(const std::string& key) {
  const std::string path = Trimmed(key);
  if (path.empty()) return false;
  Session session;
  if (Refused(path) || !session.writable()) return false;
  return !session.document().Delete(path) || session.Save();
}

std::vector<std::string> ListKeys() {
  Session session;
  return session.document().Keys();
}

void SetWriteFault(WriteFault fault) {
  std::lock_guard<std::mutex> guard(ProcessLock());
  Fault() = std::move(fault);
}

}  // namespace fvplat::registry
