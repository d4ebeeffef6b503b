#include "cli/CliWaveform.h"

#include <png.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "cli/CliJob.h"
#include "cli/CliProgress.h"
#include "core/File.h"
#include "core/StringTable.h"
#include "core/open/Formats.h"
#include "core/peaks/PeakJob.h"
#include "core/peaks/PeakPicture.h"

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  for (std::size_t i = 0; i < end.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i]) return false;
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Writes bytes to path through the file layer, whole or not at all.
bool WriteWhole(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& whyNot) {
  CFile file;
  try {
    file.OpenOrThrow(path, CFile::Mode::CreateWhole);
    file.Write(bytes.data(), bytes.size());
    file.Close();
    return true;
  } catch (const CFileException& e) {
    file.RemoveAndClose();
    whyNot = e.Message() + " (nothing was written)";
    return false;
  }
}

void PngWriteToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  bytes->insert(bytes->end(), data, data + length);
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::uint8_t* rgba, std::string& whyNot) {
  std::vector<std::uint8_t> bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    whyNot = "cannot make a PNG picture: out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    whyNot = "cannot make a PNG picture of that size";
    return false;
  }
  png_set_write_fn(png, &bytes, PngWriteToVector, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, const_cast<png_bytep>(rgba + static_cast<std::size_t>(y) * width * 4));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return WriteWhole(path, bytes, whyNot);
}

int RunCliWaveform(const CliWaveformOptions& options, std::FILE* /*out*/, std::FILE* err) {
  auto fail = [err](const std::string& message, int code = cliexit::kFailed) {
    std::fprintf(err, "kestrune-cli: %s\n", message.c_str());
    return code;
  };
  const bool png = EndsWith(options.output, ".png");
  if (!png && !EndsWith(options.output, ".json"))
    return fail("-o " + options.output + ": the output must end in .png or .json", cliexit::kUsage);
  if (options.width < 1 || options.height < 1 || options.width > 32768 || options.height > 32768)
    return fail("--width and --height must be 1 to 32768", cliexit::kUsage);
  if (options.points < 1) return fail("--points must be at least 1", cliexit::kUsage);
  if (SameFile(options.input, options.output)) return fail(LoadMessage(err::kOutputIsSource));

  if (!FormatOfPath(options.input)) return fail(msg::kTypeNotSupported);
  std::unique_ptr<CAudioFile> file = OpenAudioFile(options.input);
  if (file->GetError() != err::kNone) return fail(LoadMessage(file->GetError()));
  std::string whyNot;
  std::unique_ptr<peaks::CPeakJob> job = peaks::CPeakJob::For(*file, whyNot);
  if (!job) return fail(file->GetFileName() + ": " + whyNot);

  std::atomic<bool> cancel{false};
  std::atomic<bool> finished{false};
  // A watcher turns Ctrl+C into a cancel of the workers.
  std::thread watcher([&] {
    while (!finished.load()) {
      if (CCliProgress::Interrupted()) cancel = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const bool done = job->Run(cancel, std::max(1u, std::thread::hardware_concurrency()));
  finished = true;
  watcher.join();
  if (!done) {
    if (job->GetStage() == peaks::CPeakJob::Stage::Failed) return fail(job->Failure());
    return fail(CCliProgress::StopWords(), CCliProgress::StopExitCode());
  }
  const auto model = job->Model();
  if (png) {
    const peaks::Raster raster =
        peaks::DrawWaveform(*model, 0, model->Shape().lengthSamples, options.width, options.height);
    if (!WritePng(options.output, raster.width, raster.height,
                  reinterpret_cast<const std::uint8_t*>(raster.pixels.data()), whyNot))
      return fail(whyNot);
  } else {
    const std::string json = peaks::PeaksJson(*model, options.points);
    if (!WriteWhole(options.output, std::vector<std::uint8_t>(json.begin(), json.end()), whyNot))
      return fail(whyNot);
  }
  return cliexit::kOk;
}
