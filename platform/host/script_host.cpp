#include "platform/host/script_host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/host/headless_driver.h"

namespace {

constexpr int MaxClientSide = 8192;

std::string trim(const std::string& s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::vector<std::string> splitWords(const std::string& s) {
  std::vector<std::string> words;
  std::istringstream in(s);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A whole number made of decimal digits only, at most `limit`.
std::optional<long> parseNumber(const std::string& s, long limit) {
  if (s.empty()) return std::nullopt;
  long value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > limit) return std::nullopt;
  }
  return value;
}

// Virtual-key names of the `key` command.
std::optional<unsigned> keyByName(const std::string& name) {
  static const std::map<std::string, unsigned> named = {
      {"UP", VK_UP},         {"DOWN", VK_DOWN},     {"LEFT", VK_LEFT},
      {"RIGHT", VK_RIGHT},   {"BACK", VK_BACK},     {"SPACE", VK_SPACE},
      {"RETURN", VK_RETURN}, {"HOME", VK_HOME},     {"INSERT", VK_INSERT},
      {"DELETE", VK_DELETE}, {"END", VK_END},       {"HELP", VK_HELP},
      {"?", VK_HELP},        {"PAGEUP", VK_PRIOR},  {"PAGEDOWN", VK_NEXT},
  };
  std::string n = upper(name);
  if (auto it = named.find(n); it != named.end()) return it->second;
  if (n.size() == 1 && n[0] >= '0' && n[0] <= '9') return static_cast<unsigned>(n[0]);
  if (n.size() == 1 && n[0] >= 'A' && n[0] <= 'Z') return static_cast<unsigned>(n[0]);
  if (n.size() == 7 && n.compare(0, 6, "NUMPAD") == 0 && n[6] >= '0' && n[6] <= '9')
    return VK_NUMPAD0 + static_cast<unsigned>(n[6] - '0');
  if (n.size() >= 2 && n[0] == 'F') {
    if (auto f = parseNumber(n.substr(1), 99); f && *f >= 1 && *f <= 12)
      return VK_F1 + static_cast<unsigned>(*f - 1);
  }
  return std::nullopt;
}

// One line of a script, checked in full before anything of it runs.
class LineRunner {
 public:
  LineRunner(HeadlessDriver& driver, std::ostream& err, const std::string& where)
      : driver_(driver), err_(err), where_(where) {}

  // False after writing the reason to err.
  bool run(const std::string& line) {
    std::size_t cut = 0;
    while (cut < line.size() && !std::isspace(static_cast<unsigned char>(line[cut]))) ++cut;
    std::string command = line.substr(0, cut);
    std::string rest = trim(line.substr(cut));
    std::vector<std::string> args = splitWords(rest);

    if (command == "menu") return menu(args);
    if (command == "key") return key(args);
    if (command == "keys") return keys(args);
    if (command == "click" || command == "dblclick") return click(command, args);
    if (command == "size") return size(args);
    if (command == "move" || command == "wheel" || command == "drag" || command == "leave")
      return pointer(command, args);
    if (command == "paint") {
      if (!argumentCount(command, args, 0)) return false;
      driver_.paint();
      return true;
    }
    if (command == "snapshot") return snapshot(rest);
    if (command == "dump") return dump(rest);
    return fail("unknown command '" + command + "'");
  }

 private:
  bool fail(const std::string& message) {
    err_ << where_ << ": " << message << '\n';
    return false;
  }

  bool argumentCount(const std::string& command, const std::vector<std::string>& args,
                     std::size_t expected, const char* usage = "") {
    if (args.size() == expected) return true;
    std::string what = args.size() < expected ? "missing argument" : "too many arguments";
    std::string form = command + (*usage ? std::string(" ") + usage : std::string());
    return fail(what + " (expected '" + form + "')");
  }

  bool menu(const std::vector<std::string>& args) {
    if (!argumentCount("menu", args, 1, "ID")) return false;
    auto id = parseNumber(args[0], 1000000);
    if (!id) return fail("malformed menu id '" + args[0] + "'");
    if (!driver_.menu(static_cast<int>(*id)))
      return fail("menu id " + std::to_string(*id) + " is not on the menu bar");
    return true;
  }

  // NAME may carry held modifiers in front: SHIFT+LEFT, CTRL+Q.
  bool key(const std::vector<std::string>& args) {
    if (!argumentCount("key", args, 1, "NAME")) return false;
    std::string name = args[0];
    unsigned flags = 0;
    for (;;) {
      const std::string u = upper(name);
      if (u.rfind("SHIFT+", 0) == 0 && u.size() > 6) {
        flags |= MK_SHIFT;
        name = name.substr(6);
      } else if (u.rfind("CTRL+", 0) == 0 && u.size() > 5) {
        flags |= MK_CONTROL;
        name = name.substr(5);
      } else {
        break;
      }
    }
    auto vk = keyByName(name);
    if (!vk) return fail("unknown key name '" + args[0] + "'");
    driver_.key(*vk, flags);
    return true;
  }

  // Client points of the pointer commands: X Y pairs inside the client area.
  bool points(const std::string& command, const std::vector<std::string>& args,
              std::size_t pairs, const char* usage, std::vector<int>& out) {
    if (!argumentCount(command, args, pairs * 2, usage)) return false;
    const TSize client = driver_.clientSize();
    for (std::size_t k = 0; k < args.size(); ++k) {
      const bool isX = k % 2 == 0;
      auto v = parseNumber(args[k], MaxClientSide);
      if (!v) return fail(std::string("malformed ") + (isX ? "x" : "y") + " coordinate '" + args[k] + "'");
      if (*v >= (isX ? client.cx : client.cy))
        return fail(std::string(isX ? "x" : "y") + " coordinate " + std::to_string(*v) +
                    " is outside the client area " + std::to_string(client.cx) + "x" +
                    std::to_string(client.cy));
      out.push_back(static_cast<int>(*v));
    }
    return true;
  }

  bool pointer(const std::string& command, const std::vector<std::string>& args) {
    std::vector<int> p;
    if (command == "move") {
      if (!points(command, args, 1, "X Y", p)) return false;
      driver_.move(p[0], p[1]);
    } else if (command == "drag") {
      if (!points(command, args, 2, "X1 Y1 X2 Y2", p)) return false;
      driver_.drag(p[0], p[1], p[2], p[3]);
    } else if (command == "leave") {
      if (!argumentCount(command, args, 0)) return false;
      driver_.leave();
    } else {
      if (!argumentCount(command, args, 1, "N")) return false;
      const std::string& a = args[0];
      const bool negative = !a.empty() && a[0] == '-';
      auto n = parseNumber(negative ? a.substr(1) : a, 1000);
      if (!n) return fail("malformed wheel notches '" + a + "' (-1000 to 1000)");
      driver_.wheel(static_cast<int>(negative ? -*n : *n));
    }
    return true;
  }

  bool keys(const std::vector<std::string>& args) {
    if (!argumentCount("keys", args, 1, "TEXT")) return false;
    std::vector<unsigned> codes;
    for (char c : args[0]) {
      unsigned char u = static_cast<unsigned char>(c);
      if (!std::isalnum(u) || u >= 0x80)
        return fail(std::string("keys: '") + c + "' is not a digit or letter");
      codes.push_back(static_cast<unsigned>(std::toupper(u)));
    }
    for (unsigned code : codes) {
      if (driver_.closed()) break;  // the window went away part-way through the text
      driver_.key(code);
    }
    return true;
  }

  bool click(const std::string& command, const std::vector<std::string>& args) {
    if (!argumentCount(command, args, 2, "X Y")) return false;
    auto x = parseNumber(args[0], MaxClientSide);
    auto y = parseNumber(args[1], MaxClientSide);
    if (!x) return fail("malformed x coordinate '" + args[0] + "'");
    if (!y) return fail("malformed y coordinate '" + args[1] + "'");
    TSize client = driver_.clientSize();
    if (*x >= client.cx || *y >= client.cy)
      return fail("point (" + std::to_string(*x) + ", " + std::to_string(*y) +
                  ") is outside the client area " + std::to_string(client.cx) + "x" +
                  std::to_string(client.cy));
    if (command == "click")
      driver_.click(static_cast<int>(*x), static_cast<int>(*y));
    else
      driver_.dblclick(static_cast<int>(*x), static_cast<int>(*y));
    return true;
  }

  bool size(const std::vector<std::string>& args) {
    if (!argumentCount("size", args, 2, "W H")) return false;
    auto w = parseNumber(args[0], MaxClientSide);
    auto h = parseNumber(args[1], MaxClientSide);
    if (!w || *w == 0)
      return fail("malformed width '" + args[0] + "' (1 to " + std::to_string(MaxClientSide) +
                  ")");
    if (!h || *h == 0)
      return fail("malformed height '" + args[1] + "' (1 to " +
                  std::to_string(MaxClientSide) + ")");
    driver_.size(static_cast<int>(*w), static_cast<int>(*h));
    return true;
  }

  bool snapshot(const std::string& file) {
    if (file.empty()) return fail("missing argument (expected 'snapshot FILE')");
    return writeThroughTemporary(file, [&](const std::string& temp) {
      return driver_.raster().writePng(temp);
    });
  }

  bool dump(const std::string& file) {
    if (file.empty()) return fail("missing argument (expected 'dump FILE')");
    const std::string text = driver_.dump();
    return writeThroughTemporary(file, [&](const std::string& temp) {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out << text;
      out.close();
      return static_cast<bool>(out);
    });
  }

  // Writes `file` through a temporary file of its own folder that only this program made, then
  // renames it over `file`. A failure removes that temporary file and nothing else: the file
  // given keeps what it held. Only a regular file (or a new one) is replaced.
  template <typename Write>
  bool writeThroughTemporary(const std::string& file, Write write) {
    struct stat old {};
    const bool exists = ::stat(file.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
      return writeFailure("cannot write '" + file + "': not a regular file");
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temp = file + ".tmp-" + std::to_string(static_cast<long>(::getpid())) + "-" +
             std::to_string(attempt);
      fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return writeFailure("cannot write '" + file + "': " + std::strerror(errno));
    if (exists) (void)::fchmod(fd, old.st_mode & 07777);
    ::close(fd);
    if (!write(temp) || std::rename(temp.c_str(), file.c_str()) != 0) {
      ::unlink(temp.c_str());
      return writeFailure("cannot write '" + file + "'");
    }
    return true;
  }

  bool writeFailure(const std::string& message) {
    writeFailed_ = true;
    return fail(message);
  }

 public:
  bool writeFailed() const { return writeFailed_; }

 private:
  bool writeFailed_ = false;
  HeadlessDriver& driver_;
  std::ostream& err_;
  const std::string& where_;
};

}  // namespace

ScriptHost::ScriptHost(std::istream& script, std::string name, TSize clientSize,
                       std::ostream& out, std::ostream& err)
    : script_(script), name_(std::move(name)), size_(clientSize), out_(out), err_(err) {}

int ScriptHost::run(SDIDecFrame& frame) {
  HeadlessDriver driver(frame, size_, out_);
  // A script file is read whole first: unless it asks for a dump somewhere, the paints need
  // not be recorded. Standard input is taken line by line as it arrives, recorded throughout.
  std::istringstream whole;
  std::istream* script = &script_;
  if (name_ != "-") {
    std::ostringstream text;
    if (script_.peek() != std::char_traits<char>::eof()) text << script_.rdbuf();
    if (script_.bad()) {
      err_ << name_ << ": read error\n";
      return 2;
    }
    whole.str(text.str());
    script = &whole;
    driver.setRecording(whole.str().find("dump") != std::string::npos);
  }
  driver.start();
  int lineNumber = 0;
  for (std::string raw; !driver.closed() && std::getline(*script, raw);) {
    ++lineNumber;
    std::string line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    std::string where = name_ + ":" + std::to_string(lineNumber);
    LineRunner runner(driver, err_, where);
    if (!runner.run(line)) {
      out_.flush();
      return runner.writeFailed() ? 1 : 2;
    }
  }
  if (script->bad()) {
    err_ << name_ << ": read error\n";
    return 2;
  }
  out_.flush();
  return driver.writeFailures() > 0 ? 1 : 0;
}
