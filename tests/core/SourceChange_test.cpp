// A source that changes between its opening (where the operations plan from
// it: an MP3's frame scan, a WAV's chunks) and an operation's output: the
// operation fails naming it, and no output appears.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/AudioFile.h"
#include "core/open/Formats.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

TEST(SourceChange, AnOperationOnASourceThatChangedSinceItOpenedFailsAndWritesNothing) {
  enum class Change { Shrunk, Grown, Rewritten };
  enum class Operation { Cut, ToOther, Shred };
  kt::TempDir dir;
  const std::vector<std::uint8_t> mp3 = kt::EncodedSine(4.0, kt::LameSpec{});
  for (const bool isMp3 : {false, true})
    for (const Change change : {Change::Shrunk, Change::Grown, Change::Rewritten})
      for (const Operation operation : {Operation::Cut, Operation::ToOther, Operation::Shred}) {
        SCOPED_TRACE(testing::Message() << (isMp3 ? "mp3" : "wav") << " change " << static_cast<int>(change)
                                        << " operation " << static_cast<int>(operation));
        const std::string source = isMp3 ? dir.File("s.mp3") : kt::PatternWav(dir, "s.wav", 4);
        if (isMp3) kt::WriteAll(source, mp3);
        const std::unique_ptr<CAudioFile> file = OpenAudioFile(source);
        ASSERT_EQ(file->GetError(), 0u);
        const auto size = fs::file_size(source);
        if (change == Change::Shrunk) fs::resize_file(source, size / 2);
        if (change == Change::Grown) fs::resize_file(source, size + 4096);
        if (change == Change::Rewritten) {
          // Same size, new bytes, a later modification time.
          const timespec past[2] = {{0, UTIME_OMIT}, {1, 0}};
          ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), past, 0), 0);
        }
        const std::string out = dir.File(isMp3 ? "out.wav" : "out.mp3");
        std::string message;
        try {
          if (operation == Operation::Cut)
            file->SaveSelection(dir.File("cut." + file->GetDefaultExtension()), 0, 1, nullptr);
          if (operation == Operation::ToOther)
            isMp3 ? file->ConvertToWav(out, nullptr) : file->ConvertToMp3(out, nullptr, {});
          if (operation == Operation::Shred) {
            ShredRequest request;
            request.numberOfSplits = 2;
            request.baseFilename = dir.File("piece");
            file->SplitEqually(request, nullptr);
          }
        } catch (const CAudioFailure& failure) {
          message = failure.Text();
        }
        EXPECT_NE(message.find(source + " changed since it was opened"), std::string::npos) << message;
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(dir.Path())) files += entry.path() != source ? 1 : 0;
        EXPECT_EQ(files, 0u);
        fs::remove(source);
      }
}

}  // namespace
