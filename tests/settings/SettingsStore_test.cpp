// The typed settings store over a file of the test's own: the exact text it
// writes for every setting (the text earlier versions wrote and still read),
// files as earlier versions or a person wrote them, defaults without a file,
// and stored values that are damaged or of the wrong kind read as the
// default rather than as garbage.
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>

namespace {

// The section of the typed values as it appears in the file.
const QByteArray kSection = "[HKEY_LOCAL_MACHINE%5CSoftware%5CKestrune]\n";

class SettingsStoreTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
  QString File() const { return dir_.filePath(QStringLiteral("settings/registry.ini")); }
  QByteArray FileText() const {
    QFile f(File());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  void WriteFileText(const QByteArray& text) const {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(File()).absolutePath()));
    QFile f(File());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  }
  // One typed value, as a hand edit or an earlier version left it.
  void StoreRaw(const char* name, const QByteArray& value) const {
    WriteFileText(kSection + QByteArray(name).replace(' ', "%20") + "=" + value + "\n");
  }

  QTemporaryDir dir_;
  CSettingsStore store_{File()};
};

TEST_F(SettingsStoreTest, EachSettingIsWrittenAsEarlierVersionsWroteIt) {
  struct Case {
    const char* what;
    std::function<bool(const CSettingsStore&)> write;
    QByteArray text;  // the whole file afterwards
  };
  const auto done = [](auto&& action) {
    return [action](const CSettingsStore& s) {
      action(s);
      return true;
    };
  };
  const Case cases[] = {
      {"overlap", [](auto& s) { return s.SetOverlapTime(10); }, kSection + "Overlap%20time=dword:0000000a\n"},
      {"largest overlap", [](auto& s) { return s.SetOverlapTime(0xFFFFFFFF); },
       kSection + "Overlap%20time=dword:ffffffff\n"},
      {"suffix", [](auto& s) { return s.SetSuffix("_part"); }, kSection + "Filename%20Suffix=sz:_part\n"},
      {"empty suffix", [](auto& s) { return s.SetSuffix(""); }, kSection + "Filename%20Suffix=sz:\n"},
      {"non-ASCII suffix, its UTF-8 bytes as Latin-1", [](auto& s) { return s.SetSuffix("_caf\xC3\xA9"); },
       kSection + "Filename%20Suffix=sz:_caf\xC3\x83\xC2\xA9\n"},
      {"suffix INI quotes", [](auto& s) { return s.SetSuffix("a,b;\"c=d"); },
       kSection + "Filename%20Suffix=\"sz:a,b;\\\"c=d\"\n"},
      {"suffix with a tab", [](auto& s) { return s.SetSuffix("a\tb"); },
       kSection + "Filename%20Suffix=sz:a\\tb\n"},
      {"suffix with a NUL, byte by byte", [](auto& s) { return s.SetSuffix(std::string("a\0b", 3)); },
       kSection + "Filename%20Suffix=\"hex(1):61,00,62,00\"\n"},
      {"suffix of 1500 bytes, cut to 1022", [](auto& s) { return s.SetSuffix(std::string(1500, 'q')); },
       kSection + "Filename%20Suffix=sz:" + QByteArray(1022, 'q') + "\n"},
      {"gapless off", [](auto& s) { return s.SetGaplessMp3(false); },
       kSection + "Gapless%20MP3%20pieces=dword:00000000\n"},
      {"gapless on", [](auto& s) { return s.SetGaplessMp3(true); },
       kSection + "Gapless%20MP3%20pieces=dword:00000001\n"},
      {"waveform hidden", [](auto& s) { return s.SetShowWaveform(false); },
       kSection + "Show%20waveform=dword:00000000\n"},
      {"window size", [](auto& s) { return s.SetWindowSize(QSize(800, 600)); },
       kSection + "Window%20height=dword:00000258\nWindow%20width=dword:00000320\n"},
      {"batch geometry as hex text",
       [](auto& s) { return s.SetBatchWindowGeometry(QByteArray("\x01\xD9\xD0\xCB", 4)); },
       kSection + "Batch%20window%20geometry=sz:01d9d0cb\n"},
      {"batch column widths",
       [](auto& s) {
         return s.SetBatchColumnWidths({26, 120, 80});
       },
       kSection + "Batch%20column%20widths=\"sz:26,120,80\"\n"},
      {"one recent file", done([](auto& s) { s.AddRecentFile(QStringLiteral("/m/a.wav")); }),
       "[Desktop]\nRecent%20files=/m/a.wav\n"},
      {"two recent files, newest first", done([](auto& s) {
         s.AddRecentFile(QStringLiteral("/m/a.wav"));
         s.AddRecentFile(QStringLiteral("/m/\u00DCn\u00EF, b.wav"));
       }),
       "[Desktop]\nRecent%20files=\"/m/\xC3\x9Cn\xC3\xAF, b.wav\", /m/a.wav\n"},
      {"no recent file left", done([](auto& s) {
         s.AddRecentFile(QStringLiteral("/m/a.wav"));
         s.RemoveRecentFile(QStringLiteral("/m/a.wav"));
       }),
       "[Desktop]\nRecent%20files=@Invalid()\n"},
      {"last folder", done([](auto& s) { s.SetLastFolder(QStringLiteral("/home/\u00FC/Music")); }),
       "[Desktop]\nLast%20folder=/home/\xC3\xBC/Music\n"},
      {"both sections", done([](auto& s) {
         s.SetLastFolder(QStringLiteral("/x"));
         s.SetOverlapTime(3);
         s.SetSuffix("_s");
       }),
       "[Desktop]\nLast%20folder=/x\n\n" + kSection +
           "Filename%20Suffix=sz:_s\nOverlap%20time=dword:00000003\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QFile::remove(File());
    {
      const CSettingsStore store(File());
      EXPECT_TRUE(c.write(store));
    }
    EXPECT_EQ(FileText(), c.text);
  }
}

// What a setting reads back as, for every getter at once.
struct Read {
  std::uint32_t overlap = 0;
  std::string suffix;
  bool gapless = true;
  bool waveform = true;
  QSize window{0, 0};
  QByteArray geometry;
  std::vector<int> widths;
  QStringList recent;
  QString folder;
  bool operator==(const Read&) const = default;
};

Read ReadAllSettings(const CSettingsStore& s) {
  return {s.OverlapTime(),        s.Suffix(),      s.GaplessMp3(),
          s.ShowWaveform(),       s.WindowSize(),  s.BatchWindowGeometry(),
          s.BatchColumnWidths(3), s.RecentFiles(), s.LastFolder()};
}

void PrintTo(const Read& r, std::ostream* os) {
  *os << "overlap " << r.overlap << ", suffix \"" << r.suffix << "\", gapless " << r.gapless << ", waveform "
      << r.waveform << ", window " << r.window.width() << "x" << r.window.height() << ", geometry "
      << r.geometry.toHex().toStdString() << ", " << r.widths.size() << " widths, recent \""
      << r.recent.join(QLatin1Char('|')).toStdString() << "\", folder \"" << r.folder.toStdString() << "\"";
}

TEST_F(SettingsStoreTest, FilesAsEarlierVersionsWroteThemAreRead) {
  const Read defaults;
  const auto with = [&](auto change) {
    Read r = defaults;
    change(r);
    return r;
  };
  struct Case {
    const char* what;
    QByteArray file;
    Read read;
  };
  const Case cases[] = {
      {"an empty file", "", defaults},
      {"every setting",
       "[Desktop]\nLast%20folder=/home/\xC3\xBC/Music\nRecent%20files=\"/m/\xC3\x9C, b.wav\", /m/a.wav\n\n" +
           kSection +
           "Batch%20column%20widths=\"sz:26,120,80\"\nBatch%20window%20geometry=sz:01d9d0cb\n"
           "Filename%20Suffix=sz:_part\nGapless%20MP3%20pieces=dword:00000000\nOverlap%20time=dword:"
           "0000000a\n"
           "Show%20waveform=dword:00000000\nWindow%20height=dword:00000258\nWindow%20width=dword:00000320\n",
       {10,
        "_part",
        false,
        false,
        QSize(800, 600),
        QByteArray("\x01\xD9\xD0\xCB", 4),
        {26, 120, 80},
        {QStringLiteral("/m/\u00DC, b.wav"), QStringLiteral("/m/a.wav")},
        QStringLiteral("/home/\u00FC/Music")}},
      {"missing keys beside others", kSection + "Other=dword:00000005\n[Desktop]\nOther=x\n", defaults},
      {"an empty suffix", kSection + "Filename%20Suffix=sz:\n", defaults},
      {"one side of the window only", kSection + "Window%20width=dword:00000320\n",
       with([](Read& r) { r.window = QSize(800, 0); })},
      {"a single recent file", "[Desktop]\nRecent%20files=/m/a.wav\n",
       with([](Read& r) { r.recent = {QStringLiteral("/m/a.wav")}; })},
      {"no recent file", "[Desktop]\nRecent%20files=@Invalid()\n", defaults},
      {"recent files twice and empty", "[Desktop]\nRecent%20files=/a, , /b, /a\n", with([](Read& r) {
         r.recent = {QStringLiteral("/a"), QStringLiteral("/b")};
       })},
      {"more than eight recent files", "[Desktop]\nRecent%20files=/1, /2, /3, /4, /5, /6, /7, /8, /9\n",
       with([](Read& r) { r.recent = QString("/1,/2,/3,/4,/5,/6,/7,/8").split(','); })},
      {"a hand-written number and text", kSection + "Overlap%20time=12\nFilename%20Suffix=_take\n",
       with([](Read& r) {
         r.overlap = 12;
         r.suffix = "_take";
       })},
      {"byte by byte, as a text with a NUL was written",
       kSection + "Filename%20Suffix=\"hex(1):61,00,62,00\"\nOverlap%20time=hex(4):0a,00\n",
       with([](Read& r) {
         r.suffix = "a";
         r.overlap = 10;
       })},
      {"unquoted commas", kSection + "Filename%20Suffix=sz:a,b\n", with([](Read& r) { r.suffix = "a,b"; })},
      {"a suffix cut at its first byte outside printable ASCII",
       kSection + "Filename%20Suffix=sz:_caf\xC3\x83\xC2\xA9\n", with([](Read& r) { r.suffix = "_caf"; })},
      {"a tab and a DEL end a text",
       kSection + "Filename%20Suffix=sz:ab\\tcd\nBatch%20window%20geometry=sz:01\x7F"
                  "02\n",
       with([](Read& r) {
         r.suffix = "ab";
         r.geometry = QByteArray(1, '\x01');
       })},
      {"a character beyond Latin-1 reads as '?'", kSection + "Filename%20Suffix=sz:a\xE2\x82\xAC\n",
       with([](Read& r) { r.suffix = "a?"; })},
      {"texts of 1024 characters and more read as nothing",
       kSection + "Filename%20Suffix=sz:" + QByteArray(1024, 'q') +
           "\nBatch%20window%20geometry=\"hex(1):" + QByteArray("61,").repeated(1025) + "00\"\n",
       defaults},
      {"a text of 1023 characters", kSection + "Filename%20Suffix=sz:" + QByteArray(1023, 'q') + "\n",
       with([](Read& r) { r.suffix = std::string(1023, 'q'); })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileText(c.file);
    EXPECT_EQ(ReadAllSettings(CSettingsStore(File())), c.read);
  }
}

TEST_F(SettingsStoreTest, GarbageAndValuesOfTheWrongKindReadAsTheDefaults) {
  const char* numbers[] = {"Overlap time", "Gapless MP3 pieces", "Show waveform", "Window width"};
  const QByteArray garbage[] = {
      "sz:ab",
      "abc",
      "-5",
      "0x10",
      "dword:zz",
      "dword:123456789",
      "hex(4):zz",
      "hex(4):0a,00,00,00,01",
      "hex(1):61,62,00",
      "hex(4",
      "@Invalid()",
      "sz:",
  };
  for (const char* name : numbers) {
    for (const QByteArray& value : garbage) {
      SCOPED_TRACE(std::string(name) + " = " + value.toStdString());
      StoreRaw(name, value);
      EXPECT_EQ(ReadAllSettings(CSettingsStore(File())), Read{});
    }
  }
  for (const QByteArray& value :
       {QByteArray("dword:00000041"), QByteArray("hex(3):zz"), QByteArray("@Invalid()")}) {
    SCOPED_TRACE(value.toStdString());
    StoreRaw(kFilenameSuffixValue, value);
    EXPECT_EQ(CSettingsStore(File()).Suffix(), "");
  }
  StoreRaw(kFilenameSuffixValue, "12");  // a number written by hand where a text belongs
  EXPECT_EQ(CSettingsStore(File()).Suffix(), "12");
}

TEST_F(SettingsStoreTest, WithoutAFileEveryValueIsItsDefaultAndNothingIsCreated) {
  EXPECT_EQ(ReadAllSettings(store_), Read{});
  EXPECT_FALSE(QFileInfo::exists(QFileInfo(File()).absolutePath())) << "reading made the folder";
}

TEST_F(SettingsStoreTest, TwoStoresOnTwoFilesDoNotSeeEachOther) {
  CSettingsStore other(dir_.filePath(QStringLiteral("other.ini")));
  ASSERT_TRUE(store_.SetOverlapTime(7));
  ASSERT_TRUE(store_.SetGaplessMp3(false));
  ASSERT_TRUE(other.SetSuffix("_b"));
  EXPECT_EQ(other.OverlapTime(), 0u);
  EXPECT_TRUE(other.GaplessMp3());
  EXPECT_EQ(store_.Suffix(), "");
  EXPECT_EQ(CSettingsStore(File()).OverlapTime(), 7u);  // a later run reads it
}

TEST_F(SettingsStoreTest, AFileChangedBehindTheStoreIsReadAgain) {
  ASSERT_TRUE(store_.SetOverlapTime(7));
  // Another program saves meanwhile: a longer file, so its change shows
  // whatever the clock's resolution.
  WriteFileText(kSection + "Overlap%20time=dword:00000009\nFilename%20Suffix=sz:_other\n");
  EXPECT_EQ(store_.OverlapTime(), 9u);
  EXPECT_EQ(store_.Suffix(), "_other");
}

TEST_F(SettingsStoreTest, WindowSidesAreKeptApartAndRecentFilesKeepTheNewestEight) {
  ASSERT_TRUE(store_.SetWindowSize(QSize(800, 600)));
  EXPECT_EQ(store_.WindowSize(), QSize(800, 600));
  ASSERT_TRUE(store_.WriteNumber(kWindowHeightValue, 0));
  EXPECT_EQ(store_.WindowSize(), QSize(800, 0));
  for (int i = 0; i < 10; ++i) store_.AddRecentFile(QStringLiteral("/m/%1.wav").arg(i));
  store_.AddRecentFile(QStringLiteral("/m/5.wav"));  // moves up, not in twice
  const QStringList files = store_.RecentFiles();
  ASSERT_EQ(files.size(), CSettingsStore::kMaxRecentFiles);
  EXPECT_EQ(files.front(), QStringLiteral("/m/5.wav"));
  EXPECT_EQ(files.count(QStringLiteral("/m/5.wav")), 1);
  store_.RemoveRecentFile(QStringLiteral("/m/5.wav"));
  EXPECT_EQ(store_.RecentFiles().front(), QStringLiteral("/m/9.wav"));
}

TEST_F(SettingsStoreTest, GeometryAndWidthsRoundTrip) {
  QByteArray geometry;
  for (int i = 0; i < 66; ++i) geometry.append(char(i * 7));
  ASSERT_TRUE(store_.SetBatchWindowGeometry(geometry));
  EXPECT_EQ(store_.BatchWindowGeometry(), geometry);
  const std::vector<int> widths = {26, 120, 80, 80, 200, 90, 320, 10000};
  ASSERT_TRUE(store_.SetBatchColumnWidths(widths));
  EXPECT_EQ(store_.BatchColumnWidths(8), widths);
  EXPECT_TRUE(store_.BatchColumnWidths(7).empty());  // another layout
  // Too long for the store's texts: refused, the old value stays.
  EXPECT_FALSE(store_.SetBatchWindowGeometry(QByteArray(600, 'x')));
  EXPECT_EQ(store_.BatchWindowGeometry(), geometry);
}

TEST_F(SettingsStoreTest, DamagedGeometryAndWidthsReadAsNothing) {
  struct Case {
    const char* geometry;
    const char* widths;
  };
  const Case cases[] = {
      {"0g", "1,2,3,4,5,6,7,x"},         // not hex; not a number
      {"abc", "1,2,3,4,5,6,7,0"},        // odd length; a zero width
      {"01 02", "1,2,3,4,5,6,7,10001"},  // a blank inside; too wide
      {"", "1,2,3,4,5,6,7,-5"},          // empty; negative
      {"zz", ",,,,,,,"},                 // empty numbers
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.geometry);
    ASSERT_TRUE(store_.SetSuffix("kept"));  // the file exists beside them
    WriteFileText(kSection + "Batch%20window%20geometry=\"sz:" + c.geometry +
                  "\"\nBatch%20column%20widths=\"sz:" + c.widths + "\"\n");
    EXPECT_TRUE(store_.BatchWindowGeometry().isEmpty());
    EXPECT_TRUE(store_.BatchColumnWidths(8).empty());
  }
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeWrittenFailsEveryWriteAndReadsDefaults) {
  // A folder that cannot exist: its parent is a regular file.
  WriteFileText("not a folder");
  const CSettingsStore store(File() + QStringLiteral("/sub/registry.ini"));
  EXPECT_FALSE(store.SetOverlapTime(5));
  EXPECT_FALSE(store.SetSuffix("x"));
  EXPECT_FALSE(store.SetWindowSize(QSize(3, 4)));
  EXPECT_FALSE(store.SetBatchColumnWidths({1, 2, 3}));
  store.AddRecentFile(QStringLiteral("/m/a.wav"));
  store.SetLastFolder(QStringLiteral("/m"));
  // Nothing unsaved is read back as if it were stored.
  EXPECT_EQ(ReadAllSettings(store), Read{});
  EXPECT_EQ(FileText(), "not a folder");
}

}  // namespace
