#include "zarvo-pack/archive_builder.h"

#include "zarvo-pack/bzip2_codec.h"
#include "zarvo-pack/code_pages.h"
#include "zarvo-pack/entry_content.h"
#include "zarvo-pack/names.h"
#include "zarvo-pack/title_string.h"

#include <condition_variable>
#include <exception>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

namespace zpack {

namespace {

std::string Shown(std::string_view cp1252) {
  return ToUtf8(cp1252, CodePage::Windows1252);
}

bool CheckFileSize(const PackInput& input, uintmax_t& size, std::string& problem) {
  std::error_code error;
  size = std::filesystem::file_size(input.Path, error);
  if (error) {
    problem = "can't be read: " + error.message();
    return false;
  }
  if (size > MaxEntrySize) {
    problem = "the file is " + std::to_string(size) +
              " bytes long, 2 GiB or more, past what the installer can decode";
    return false;
  }
  return true;
}

bool Load(const PackInput& input, Bytes& storage, const Bytes*& content, std::string& problem) {
  if (input.InMemory) {
    content = &input.Content;
    return true;
  }
  uintmax_t size = 0;
  if (!CheckFileSize(input, size, problem)) return false;
  std::ifstream in(input.Path, std::ios::binary);
  storage.resize(size_t(size));
  in.read(reinterpret_cast<char*>(storage.data()), std::streamsize(storage.size()));
  if (!in || size_t(in.gcount()) != storage.size() || in.peek() != std::char_traits<char>::eof()) {
    problem = "can't be read (or changed while it was read)";
    return false;
  }
  content = &storage;
  return true;
}

struct Prepared {
  std::vector<std::string> Problems;
  RawEntry Entry;
};

Prepared Prepare(const PackInput& input, bool compress, int blockSize) {
  Prepared p;
  const std::string where = input.Origin + ": ";
  const EntryKind kind = KindOfName(input.Name);
  if (!compress && kind == EntryKind::Plain && !input.InMemory) {
    // A plain file is copied as it is: only its size matters here.
    uintmax_t size = 0;
    std::string problem;
    if (!CheckFileSize(input, size, problem)) p.Problems.push_back(where + problem);
    return p;
  }
  Bytes storage;
  const Bytes* content = nullptr;
  std::string problem;
  if (!Load(input, storage, content, problem)) {
    p.Problems.push_back(where + problem);
    return p;
  }
  const ContentCheck check = CheckContent(kind, content->data(), content->size());
  if (!check.Fatal.empty()) p.Problems.push_back(where + check.Fatal);
  for (const std::string& defect : check.Defects) p.Problems.push_back(where + defect);
  if (!p.Problems.empty() || !compress) return p;

  RawEntry& e = p.Entry;
  e.Name = input.Name;
  e.DecodedSize = uint32_t(content->size());
  e.DateTime = input.DateTime;
  if (kind == EntryKind::Indexed) {
    // The installer copies the index as it comes: it must carry the installed file's values.
    if (content != &storage) storage = *content;
    ApplyIndexedLayout(storage.data(), check.Layout);
    content = &storage;
    e.InstalledSize = uint32_t(check.InstalledSize);
  }
  problem = CompressStream(content->data(), content->size(), blockSize, e.Stream);
  if (problem.empty() && e.Stream.size() > MaxEntrySize)
    problem = "compressed, it takes 2 GiB or more, past what the installer can read";
  if (!problem.empty()) p.Problems.push_back(where + problem);
  return p;
}

// Runs work(0) ... work(count - 1) on `jobs` threads and hands each result to take() on the
// calling thread, in index order. At most 2 x jobs results wait to be taken, so memory stays
// bounded whatever the order in which the threads finish. A false from take() stops it.
void RunInOrder(size_t count, unsigned jobs, const std::function<Prepared(size_t)>& work,
                const std::function<bool(Prepared&)>& take) {
  if (jobs < 1) jobs = 1;
  struct Slot {
    bool Ready = false;
    Prepared Value;
  };
  std::vector<Slot> slots(count);
  std::mutex mutex;
  std::condition_variable ready, room;
  size_t next = 0, taken = 0;
  bool stop = false;
  const size_t window = 2 * size_t(jobs);
  auto worker = [&] {
    for (;;) {
      size_t i = 0;
      {
        std::unique_lock lock(mutex);
        room.wait(lock, [&] { return stop || next >= count || next < taken + window; });
        if (stop || next >= count) return;
        i = next++;
      }
      Prepared result;
      try {
        result = work(i);
      } catch (const std::exception& e) {
        result.Problems.push_back(std::string("out of resources: ") + e.what());
      }
      {
        std::lock_guard lock(mutex);
        slots[i].Value = std::move(result);
        slots[i].Ready = true;
      }
      ready.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < jobs && t < count; t++) threads.emplace_back(worker);
  for (size_t i = 0; i < count; i++) {
    Prepared result;
    {
      std::unique_lock lock(mutex);
      ready.wait(lock, [&] { return slots[i].Ready; });
      result = std::move(slots[i].Value);
    }
    const bool goOn = take(result);
    {
      std::lock_guard lock(mutex);
      taken = i + 1;
      stop = !goOn;
    }
    room.notify_all();
    if (!goOn) break;
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  room.notify_all();
  for (std::thread& t : threads) t.join();
}

} // namespace

std::vector<std::string> CheckNames(const std::vector<PackInput>& inputs, std::string_view pattern,
                                    bool force) {
  std::vector<std::string> problems, installed;
  std::vector<size_t> owner; // input index of each installed name
  std::map<std::string, size_t> seen;
  for (size_t i = 0; i < inputs.size(); i++) {
    const PackInput& input = inputs[i];
    const std::string why = CheckEntryName(input.Name);
    if (!why.empty()) {
      problems.push_back(input.Origin + ": " + why);
      continue;
    }
    const std::string name = InstalledName(input.Name);
    auto [at, fresh] = seen.emplace(FoldCase(name), i);
    if (!fresh) {
      const PackInput& first = inputs[at->second];
      problems.push_back(input.Origin + ": installed as " + Shown(name) + ", like " + first.Origin +
                         " (installed as " + Shown(InstalledName(first.Name)) +
                         "); Windows takes them for one file, and the later would replace the " +
                         "earlier");
    }
    installed.push_back(name);
    owner.push_back(i);
  }
  if (force) return problems;
  for (const CleanupVictim& v : CleanupVictims(pattern, installed)) {
    std::string text = "the cleanup pattern \"" + Shown(pattern) + "\" matches " + Shown(v.Name);
    if (!v.Alias.empty()) text += " (by its short name " + v.Alias + ")";
    if (v.Installed < 0)
      text += ", one of Zarvo's own files: the installer would delete it";
    else
      text += ", installed from " + inputs[owner[size_t(v.Installed)]].Origin +
              ": the installer would delete it right after installing it";
    problems.push_back(text + " (--force allows it)");
  }
  return problems;
}

std::vector<std::string> CheckTitleString(std::string_view title, std::string_view pattern) {
  std::vector<std::string> problems;
  if (std::string why = CheckTitle(title); !why.empty()) problems.push_back(why);
  if (std::string why = CheckPattern(pattern); !why.empty()) problems.push_back(why);
  const size_t size = MakeTitleString(title, pattern).size();
  if (!pattern.empty() && size > MaxShortString) {
    problems.push_back("the title and the cleanup pattern take " + std::to_string(size) +
                       " bytes in code page 1252 (title|pattern), more than the 255 of the " +
                       "title string");
  }
  return problems;
}

std::vector<std::string> CheckContents(const std::vector<PackInput>& inputs,
                                       const PackSettings& settings) {
  std::vector<std::string> problems;
  RunInOrder(
      inputs.size(), settings.Jobs,
      [&](size_t i) { return Prepare(inputs[i], false, settings.BlockSize); },
      [&](Prepared& p) {
        problems.insert(problems.end(), p.Problems.begin(), p.Problems.end());
        return true;
      });
  return problems;
}

std::string PackEntries(const std::vector<PackInput>& inputs, const PackSettings& settings,
                        const std::function<std::string(const RawEntry&)>& sink) {
  std::string problem;
  size_t done = 0;
  RunInOrder(
      inputs.size(), settings.Jobs,
      [&](size_t i) { return Prepare(inputs[i], true, settings.BlockSize); },
      [&](Prepared& p) {
        problem = p.Problems.empty() ? sink(p.Entry) : p.Problems.front();
        if (problem.empty() && settings.Progress) settings.Progress(++done, inputs.size());
        return problem.empty();
      });
  return problem;
}

bool BuildArchive(std::string_view title, std::string_view pattern,
                  const std::vector<PackInput>& inputs, const PackSettings& settings, bool force,
                  Bytes& archive, std::vector<std::string>& problems) {
  problems = CheckTitleString(title, pattern);
  std::vector<std::string> more = CheckNames(inputs, pattern, force);
  problems.insert(problems.end(), more.begin(), more.end());
  if (problems.empty()) problems = CheckContents(inputs, settings);
  if (!problems.empty()) return false;
  archive.clear();
  PutU32(archive, ArchiveMagic);
  const std::string titleString = MakeTitleString(title, pattern);
  archive.push_back(uint8_t(titleString.size()));
  PutBytes(archive, titleString);
  std::string problem = PackEntries(inputs, settings, [&](const RawEntry& entry) {
    AppendRawEntry(archive, entry);
    return std::string();
  });
  if (!problem.empty()) {
    problems.push_back(problem);
    return false;
  }
  PutU32(archive, 0);
  return true;
}

} // namespace zpack
