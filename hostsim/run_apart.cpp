#include "hostsim/run_apart.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

#ifndef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#endif

namespace hostsim {

namespace {

// A message is one line: its kind, a blank, and its text with line breaks and backslashes
// escaped, so that a result of any text travels whole.
constexpr char kProgressKind = 'P';
constexpr char kResultKind = 'R';
constexpr char kExceptionKind = 'E';

std::string Escaped(const std::string& text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string Unescaped(const std::string& text) {
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    const char next = text[++i];
    plain += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return plain;
}

std::string Message(char kind, const std::string& text) {
  return std::string(1, kind) + " " + Escaped(text) + "\n";
}

// A progress note is one line in every report that shows it.
std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

bool Contains(const std::string& line, const char* part) {
  return line.find(part) != std::string::npos;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string ExceptionText(std::exception_ptr thrown) {
  try {
    std::rethrow_exception(thrown);
  } catch (const std::exception& exception) {
    return exception.what();
  } catch (...) {
    return "an exception of an unknown type";
  }
}

// Passes notes on to the channel of whoever runs this process, if anyone does.
class ForwardingChannel : public ApartChannel {
 public:
  explicit ForwardingChannel(ApartChannel* outer) : outer_(outer) {}
  void Progress(const std::string& note) override {
    last_ = OneLine(note);
    if (outer_) outer_->Progress(note);
  }
  const std::string& Last() const { return last_; }

 private:
  ApartChannel* outer_;
  std::string last_;
};

}  // namespace

std::string ApartRun::Failure() const {
  std::string failure;
  switch (end) {
    case ApartEnd::kFinished:
      if (sanitizer.empty()) return "";
      failure = "a sanitizer reported: " + sanitizer;
      break;
    case ApartEnd::kDied:
      failure = sanitizer.empty() ? how : how + " after a sanitizer reported: " + sanitizer;
      break;
    case ApartEnd::kTimedOut:
    case ApartEnd::kNotStarted:
      failure = how;
      break;
  }
  if (end != ApartEnd::kFinished && !last_progress.empty()) failure += " while " + last_progress;
  return failure;
}

std::string ProgressMessage(const std::string& note) {
  return Message(kProgressKind, OneLine(note));
}

std::string ResultMessage(const std::string& result) {
  return Message(kResultKind, result);
}

std::string ExceptionMessage(const std::string& what) {
  return Message(kExceptionKind, what);
}

ChannelReading ReadChannel(const std::string& text) {
  ChannelReading reading;
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos;
       start = end + 1, end = text.find('\n', start)) {
    const std::string line = text.substr(start, end - start);
    if (line.size() < 2 || line[1] != ' ') continue;
    const std::string body = Unescaped(line.substr(2));
    switch (line[0]) {
      case kProgressKind:
        reading.last_progress = body;
        break;
      case kResultKind:
        reading.result = body;
        break;
      case kExceptionKind:
        reading.exception = body;
        break;
      default:
        break;
    }
  }
  return reading;
}

std::string SanitizerLine(const std::string& output) {
  std::string summary, error;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    if (Contains(line, "runtime error:")) return line;
    if (summary.empty() && Contains(line, "SUMMARY: ") && Contains(line, "Sanitizer")) {
      summary = line;
    }
    if (error.empty() && Contains(line, "ERROR: ") && Contains(line, "Sanitizer")) error = line;
  }
  return summary.empty() ? error : summary;
}

std::vector<std::string> LastLines(const std::string& output, std::size_t most) {
  std::vector<std::string> lines;
  std::size_t end = output.size();
  while (end > 0 && lines.size() < most) {
    const std::size_t newline = output.rfind('\n', end - 1);
    const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
    std::string line = output.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.insert(lines.begin(), line);
    if (newline == std::string::npos) break;
    end = newline;
  }
  return lines;
}

std::vector<std::string> KeptLines(const std::string& output, std::size_t most) {
  std::size_t start = std::string::npos;
  for (const char* report : {"runtime error:", "ERROR: AddressSanitizer", "ERROR: LeakSanitizer"}) {
    start = std::min(start, output.find(report));
  }
  if (start == std::string::npos) return LastLines(output, most);
  const std::size_t newline = output.rfind('\n', start);
  std::vector<std::string> lines;
  for (std::size_t at = newline == std::string::npos ? 0 : newline + 1;
       at < output.size() && lines.size() < most;) {
    std::size_t end = output.find('\n', at);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

void Conclude(const std::string& messages, const std::string& output, bool timed_out,
              double idle_limit_seconds, const std::string& process_end, ApartRun* run) {
  const ChannelReading reading = ReadChannel(messages);
  run->last_progress = reading.last_progress;
  run->output = KeptLines(output, kApartOutputLines);
  run->sanitizer = SanitizerLine(output);
  if (timed_out) {
    run->end = ApartEnd::kTimedOut;
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", idle_limit_seconds);
    run->how = std::string("stopped after ") + limit + " s without progress";
  } else if (reading.result) {
    run->end = ApartEnd::kFinished;
    run->result = *reading.result;
  } else {
    run->end = ApartEnd::kDied;
    run->how = reading.exception ? "ended by an exception: " + *reading.exception : process_end;
  }
}

ApartRun RunHere(const ApartWork& work, ApartChannel* outer) {
  const auto started = std::chrono::steady_clock::now();
  ForwardingChannel channel(outer);
  ApartRun run;
  try {
    run.result = work(channel);
    run.end = ApartEnd::kFinished;
  } catch (...) {
    run.end = ApartEnd::kDied;
    run.how = "ended by an exception: " + ExceptionText(std::current_exception());
  }
  run.last_progress = channel.Last();
  run.seconds = SecondsSince(started);
  return run;
}

#ifndef _WIN32

namespace {

// More than this of a run's output is not kept: only its end is.
constexpr std::size_t kMostOutputBytes = std::size_t{1} << 20;
constexpr int kExitAfterException = 70;

const char* SignalName(int signal_number) {
  switch (signal_number) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGABRT:
      return "SIGABRT";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    case SIGKILL:
      return "SIGKILL";
    case SIGTRAP:
      return "SIGTRAP";
    case SIGTERM:
      return "SIGTERM";
    case SIGPIPE:
      return "SIGPIPE";
    default:
      return "a signal";
  }
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t now = write(fd, text.data() + written, text.size() - written);
    if (now < 0 && errno == EINTR) continue;
    if (now <= 0) return false;
    written += static_cast<std::size_t>(now);
  }
  return true;
}

class PipeChannel : public ApartChannel {
 public:
  explicit PipeChannel(int fd) : fd_(fd) {}
  void Progress(const std::string& note) override { WriteAll(fd_, ProgressMessage(note)); }
  void Send(const std::string& message) { WriteAll(fd_, message); }

 private:
  int fd_;
};

// The forked process: its output goes into the output pipe, its messages into the channel
// pipe, and it ends with _exit, so that nothing of the validator (its buffers, its exit
// handlers, its leak checks) runs twice.
[[noreturn]] void RunChild(const ApartWork& work, int channel_fd, int output_fd) {
  dup2(output_fd, STDOUT_FILENO);
  dup2(output_fd, STDERR_FILENO);
  close(output_fd);
  // Line by line, as on a terminal: what was printed before a crash is not lost in a buffer,
  // and the two streams keep their order.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const int nobody = open("/dev/null", O_RDONLY);
  if (nobody >= 0) {
    dup2(nobody, STDIN_FILENO);
    close(nobody);
  }
  PipeChannel channel(channel_fd);
  int status = 0;
  try {
    channel.Send(ResultMessage(work(channel)));
  } catch (...) {
    channel.Send(ExceptionMessage(ExceptionText(std::current_exception())));
    status = kExitAfterException;
  }
  std::fflush(nullptr);
  _exit(status);
}

void Append(std::string* text, const char* bytes, std::size_t count) {
  text->append(bytes, count);
  if (text->size() > kMostOutputBytes) text->erase(0, text->size() - kMostOutputBytes);
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

std::string DescribeStatus(int status) {
  if (WIFSIGNALED(status)) {
    const int number = WTERMSIG(status);
    return "killed by signal " + std::to_string(number) + " (" + SignalName(number) + ")";
  }
  if (WIFEXITED(status)) {
    return "exited with status " + std::to_string(WEXITSTATUS(status)) + " before it finished";
  }
  return "ended before it finished";
}

}  // namespace

ApartRun RunForked(const ApartWork& work, double idle_limit_seconds) {
  ApartRun run;
  int channel_pipe[2];
  int output_pipe[2];
  if (pipe(channel_pipe) != 0) {
    run.how = "no pipe could be made for it";
    return run;
  }
  if (pipe(output_pipe) != 0) {
    close(channel_pipe[0]);
    close(channel_pipe[1]);
    run.how = "no pipe could be made for it";
    return run;
  }
  // Whatever the validator has buffered is written now, not once more by the child.
  std::fflush(nullptr);
  const auto started = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(channel_pipe[0]);
    close(output_pipe[0]);
    RunChild(work, channel_pipe[1], output_pipe[1]);
  }
  close(channel_pipe[1]);
  close(output_pipe[1]);
  if (pid < 0) {
    close(channel_pipe[0]);
    close(output_pipe[0]);
    run.how = "no process could be made for it";
    return run;
  }

  std::string messages, output;
  int open_fds[2] = {channel_pipe[0], output_pipe[0]};
  auto last_sign = started;
  bool timed_out = false;
  bool reaped = false;
  int status = 0;
  while (open_fds[0] >= 0 || open_fds[1] >= 0) {
    const double idle = SecondsSince(last_sign);
    if (idle >= idle_limit_seconds) {
      // A process of its own that the work left behind may hold the pipes open after the work
      // has ended: that is not a hang of the work.
      reaped = waitpid(pid, &status, WNOHANG) == pid;
      timed_out = !reaped;
      break;
    }
    pollfd fds[2];
    nfds_t count = 0;
    for (int fd : open_fds) {
      if (fd >= 0) fds[count++] = pollfd{fd, POLLIN, 0};
    }
    const int wait_ms = static_cast<int>(std::ceil((idle_limit_seconds - idle) * 1000.0));
    const int ready = poll(fds, count, wait_ms > 0 ? wait_ms : 1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      char buffer[8192];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      const bool is_channel = fds[i].fd == open_fds[0];
      if (got <= 0) {
        close(fds[i].fd);
        (is_channel ? open_fds[0] : open_fds[1]) = -1;
        continue;
      }
      if (is_channel) {
        // A whole message is a sign of life; the time limit counts afresh from it.
        if (std::memchr(buffer, '\n', static_cast<std::size_t>(got))) {
          last_sign = std::chrono::steady_clock::now();
        }
        messages.append(buffer, static_cast<std::size_t>(got));
      } else {
        Append(&output, buffer, static_cast<std::size_t>(got));
      }
    }
  }
  if (timed_out) kill(pid, SIGKILL);
  if (!reaped) status = WaitFor(pid);
  for (int fd : open_fds) {
    if (fd >= 0) close(fd);
  }
  run.seconds = SecondsSince(started);

  Conclude(messages, output, timed_out, idle_limit_seconds, DescribeStatus(status), &run);
  return run;
}

#endif

}  // namespace hostsim
