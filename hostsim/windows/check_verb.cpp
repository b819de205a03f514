#include "hostsim/windows/check_verb.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "hostsim/check_command.h"
#include "hostsim/document.h"
#include "hostsim/run_apart.h"
#include "hostsim/run_command.h"
#include "hostsim/windows/box_answerer.h"
#include "hostsim/windows/host_window.h"

namespace hostsim {

namespace {

constexpr DWORD kPollMs = 50;
// The exit code of a child the parent had to stop.
constexpr UINT kStoppedExitCode = 0x5C0DE;
constexpr int kExitAfterException = 70;

struct ExceptionName {
  DWORD code;
  const char* name;
};

constexpr ExceptionName kExceptionNames[] = {
    {0xC0000005, "access violation"},
    {0xC00000FD, "stack overflow"},
    {0xC0000094, "integer division by zero"},
    {0xC000001D, "illegal instruction"},
    {0xC0000096, "privileged instruction"},
    {0xC0000409, "stack buffer overrun"},
    {0xC0000374, "heap corruption"},
    {0x80000003, "breakpoint"},
    {0xE06D7363, "C++ exception"},
};

std::string DescribeExitCode(DWORD code) {
  char text[96];
  if (code >= 0xC0000000 || code == 0x80000003) {
    const char* name = "an exception";
    for (const ExceptionName& known : kExceptionNames) {
      if (known.code == code) name = known.name;
    }
    std::snprintf(text, sizeof text, "ended by exception 0x%08lX (%s)",
                  static_cast<unsigned long>(code), name);
  } else {
    std::snprintf(text, sizeof text, "exited with status %lu before it finished",
                  static_cast<unsigned long>(code));
  }
  return text;
}

std::string ThisProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

// One word of a command line as the C runtime of the child will read it back.
std::string Quoted(const std::string& word) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

std::string TempFile(const char* prefix) {
  char folder[MAX_PATH] = {};
  char path[MAX_PATH] = {};
  if (!GetTempPathA(sizeof folder, folder) || !GetTempFileNameA(folder, prefix, 0, path)) {
    return "";
  }
  return path;
}

HANDLE OpenShared(const std::string& path, DWORD access, DWORD disposition, bool inherit) {
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, inherit ? TRUE : FALSE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &attributes, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(HANDLE file) {
  std::string text;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  char buffer[8192];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

std::int64_t SizeOf(HANDLE file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file, &size) ? static_cast<std::int64_t>(size.QuadPart) : -1;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

constexpr int kStartAttempts = 3;
constexpr DWORD kStartRetryMs = 250;

// Runs check `id` of `arguments` in a child of this program and reads how it ended.
ApartRun RunCheckInChild(const std::string& id, const CheckArguments& arguments) {
  ApartRun run;
  const std::string result_path = TempFile("scr");
  const std::string output_path = TempFile("sco");
  HANDLE result = OpenShared(result_path, GENERIC_READ, OPEN_EXISTING, false);
  HANDLE output = OpenShared(output_path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, true);
  HANDLE nobody = OpenShared("NUL", GENERIC_READ, OPEN_EXISTING, true);
  std::string command_line =
      Quoted(ThisProgram()) + " check-task " + Quoted(id) + " " + Quoted(result_path);
  for (const std::string& word : CheckArgumentWords(arguments)) command_line += " " + Quoted(word);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nobody;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process = {};
  auto started = std::chrono::steady_clock::now();
  bool made = false;
  DWORD error = 0;
  if (result != INVALID_HANDLE_VALUE && output != INVALID_HANDLE_VALUE) {
    // A busy machine (Wine under load, above all) now and then fails to start a process that
    // starts the next moment: a few tries before the check is given up as not run.
    for (int attempt = 0; attempt < kStartAttempts && !made; ++attempt) {
      if (attempt > 0) Sleep(kStartRetryMs);
      started = std::chrono::steady_clock::now();
      made = CreateProcessA(nullptr, &command_line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                            &startup, &process) != FALSE;
      if (!made) error = GetLastError();
    }
  }
  if (!made) {
    run.how = "no child process could be started for it" +
              (error ? " (error " + std::to_string(error) + ")" : std::string());
  } else {
    // The child appends a line to the result file at every step: the time limit counts from
    // the last one.
    auto last_sign = started;
    std::int64_t last_size = 0;
    bool timed_out = false;
    while (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_TIMEOUT) {
      const std::int64_t size = SizeOf(result);
      if (size != last_size) {
        last_size = size;
        last_sign = std::chrono::steady_clock::now();
      } else if (SecondsSince(last_sign) >= arguments.time_limit_seconds) {
        TerminateProcess(process.hProcess, kStoppedExitCode);
        WaitForSingleObject(process.hProcess, INFINITE);
        timed_out = true;
        break;
      }
    }
    DWORD exit_code = 0;
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.seconds = SecondsSince(started);

    Conclude(ReadAll(result), ReadAll(output), timed_out, arguments.time_limit_seconds,
             DescribeExitCode(exit_code), &run);
  }
  for (HANDLE handle : {result, output, nobody}) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  DeleteFileA(result_path.c_str());
  DeleteFileA(output_path.c_str());
  return run;
}

// The child's side of the channel: every message appended to the result file at once.
class FileChannel : public ApartChannel {
 public:
  explicit FileChannel(const std::string& path)
      : file_(OpenShared(path, FILE_APPEND_DATA, OPEN_ALWAYS, false)) {}
  ~FileChannel() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  FileChannel(const FileChannel&) = delete;
  FileChannel& operator=(const FileChannel&) = delete;

  bool Open() const { return file_ != INVALID_HANDLE_VALUE; }
  void Progress(const std::string& note) override { Send(ProgressMessage(note)); }
  void Send(const std::string& message) {
    DWORD written = 0;
    WriteFile(file_, message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
  }

 private:
  HANDLE file_;
};

// A crash in the child ends it with the exception's code, at once: no error box waits for a
// person, and no debugger is started.
LONG WINAPI EndOnUnhandledException(EXCEPTION_POINTERS* exception) {
  const DWORD code = exception->ExceptionRecord->ExceptionCode;
  std::fprintf(stderr, "unhandled exception 0x%08lX at %p\n", static_cast<unsigned long>(code),
               exception->ExceptionRecord->ExceptionAddress);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

int Usage(const std::string& problem) {
  std::cerr << "error: " << problem << "\nusage: SCORIX.EXE " << kCheckUsage << "\n";
  return kExitUsage;
}

}  // namespace

int RunCheckVerb(const std::vector<std::string>& words) {
  CheckArguments arguments;
  std::string error;
  if (!ParseCheckArguments(words, &arguments, &error)) return Usage(error);
  // Every child must check the same random documents.
  if (!arguments.seed) arguments.seed = NewCheckSeed();
  // The children play the user; here the plug-in is never loaded.
  CheckDesktop desktop;
  desktop.answer_boxes = [](int) {};
  CheckIsolation isolation;
  isolation.run_check = [&arguments](const std::string& id, const ApartWork&) {
    return RunCheckInChild(id, arguments);
  };
  const int status = CheckCommand(arguments, desktop, std::cout, std::cerr, isolation);
  std::cout.flush();
  return status;
}

int RunCheckTaskVerb(const std::vector<std::string>& words) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(&EndOnUnhandledException);
  if (words.size() < 3) return Usage("check-task takes a check, a result file and a check");
  CheckArguments arguments;
  std::string error;
  const std::vector<std::string> rest(words.begin() + 2, words.end());
  if (!ParseCheckArguments(rest, &arguments, &error)) return Usage(error);
  RecordStore document;
  if (arguments.document_path.empty()) {
    document = BuiltInCheckDocument();
  } else if (!LoadDocumentFile(arguments.document_path, &document, &error)) {
    return Usage(error);
  }
  FileChannel channel(words[1]);
  if (!channel.Open()) return Usage("cannot write " + words[1]);

  HostWindow window;
  BoxAnswerer answerer(window.Handle(), IDNO);
  CheckDesktop desktop;
  desktop.owner = window.Handle();
  desktop.answer_boxes = [&answerer](int answer) { answerer.SetAnswer(answer); };
  desktop.boxes_shown = [&answerer] { return static_cast<int>(answerer.Boxes().size()); };
  CheckOptions options;
  options.level = arguments.level;
  options.seed = arguments.seed ? *arguments.seed : 0;
  options.time_limit_seconds = arguments.time_limit_seconds;
  // Runs within the check are made here: a child per run would cost more than the run.
  options.isolation.run_check = [](const std::string&, const ApartWork& work) {
    return RunHere(work);
  };
  options.isolation.run_nested = [](const ApartWork& work, ApartChannel& outer) {
    return RunHere(work, &outer);
  };
  const CheckSubject subject{arguments.plugin_path, document, desktop, HostSetup(), options};
  try {
    channel.Send(ResultMessage(RunCheckHere(words[0], subject, channel)));
  } catch (const std::exception& exception) {
    channel.Send(ExceptionMessage(exception.what()));
    return kExitAfterException;
  }
  return 0;
}

}  // namespace hostsim
