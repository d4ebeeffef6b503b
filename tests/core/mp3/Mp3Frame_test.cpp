#include "core/mp3/Mp3Frame.h"

#include <gtest/gtest.h>

#include "core/mp3/Mp3File.h"
#include "support/Mp3Builder.h"
#include "support/TestSupport.h"

namespace {

mp3::FrameHeader Header(const kt::FrameSpec& layout) {
  return mp3::FrameHeader::FromBytes(kt::HeaderBytes(layout).data());
}

kt::FrameSpec Frame(unsigned version, unsigned layer, unsigned bitrateIndex, unsigned sampleRateIndex,
                    bool padding = false) {
  kt::FrameSpec s;
  s.version = version;
  s.layer = layer;
  s.bitrateIndex = bitrateIndex;
  s.sampleRateIndex = sampleRateIndex;
  s.padding = padding;
  return s;
}

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(Mp3FrameTables, FrameLengthsForEveryVersionLayerAndPadding) {
  struct Case {
    kt::FrameSpec layout;
    std::uint32_t length;
  };
  const Case cases[] = {
      {Frame(3, 1, 9, 0), 417},   {Frame(3, 1, 9, 0, true), 418},  // MPEG 1 L3 128k 44.1k
      {Frame(2, 1, 8, 0), 208},   {Frame(2, 1, 8, 0, true), 209},  // MPEG 2 L3 64k 22.05k
      {Frame(3, 3, 1, 0), 32},    {Frame(3, 3, 1, 0, true), 36},   // L1 pads whole 4-byte slots
      {Frame(3, 2, 10, 1), 576},                                   // MPEG 1 L2 192k 48k
      {Frame(3, 1, 14, 2), 1440},                                  // MPEG 1 L3 320k 32k
      {Frame(2, 2, 14, 1), 960},                                   // MPEG 2 L2 uses 144 too
      {Frame(2, 3, 14, 2), 768},                                   // MPEG 2 L1 256k 16k
      {Frame(0, 1, 1, 2), 72},    {Frame(0, 1, 1, 2, true), 73},   // MPEG 2.5 L3 8k 8k
      {Frame(3, 1, 9, 3), 0},                                      // reserved sampling rate
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Header(c.layout).FrameLength(), c.length)
        << "version " << c.layout.version << " layer " << c.layout.layer << " index "
        << c.layout.bitrateIndex;
  }
}

TEST(Mp3FrameTables, BitratesAndSamplingRatesComeFromTheRightColumn) {
  EXPECT_EQ(Header(Frame(3, 1, 9, 0)).Bitrate(), 128000u);
  EXPECT_EQ(Header(Frame(2, 1, 8, 0)).Bitrate(), 64000u);
  EXPECT_EQ(Header(Frame(3, 3, 14, 0)).Bitrate(), 448000u);
  EXPECT_EQ(Header(Frame(3, 2, 14, 0)).Bitrate(), 384000u);
  EXPECT_EQ(Header(Frame(0, 1, 8, 0)).Bitrate(), 64000u);    // MPEG 2.5 uses the MPEG 2 column
  EXPECT_EQ(Header(Frame(2, 3, 14, 0)).Bitrate(), 256000u);  // MPEG 2 Layer I column
  EXPECT_EQ(Header(Frame(3, 1, 0, 0)).Bitrate(), 0u);        // free format
  EXPECT_EQ(Header(Frame(3, 1, 15, 0)).Bitrate(), 0u);
  EXPECT_EQ(Header(Frame(3, 1, 9, 1)).SampleRate(), 48000u);
  EXPECT_EQ(Header(Frame(2, 1, 9, 2)).SampleRate(), 16000u);
  EXPECT_EQ(Header(Frame(0, 1, 9, 0)).SampleRate(), 11025u);
  EXPECT_EQ(Header(Frame(1, 1, 9, 0)).SampleRate(), 0u);
  EXPECT_EQ(Header(Frame(3, 1, 9, 0)).SamplesPerFrame(), 1152u);
  EXPECT_EQ(Header(Frame(2, 1, 9, 0)).SamplesPerFrame(), 576u);
  EXPECT_EQ(Header(Frame(2, 2, 9, 0)).SamplesPerFrame(), 1152u);
  EXPECT_EQ(Header(Frame(0, 3, 9, 0)).SamplesPerFrame(), 384u);
}

TEST(Mp3FrameCheck, FieldFailuresComeInOrder111To114) {
  EXPECT_EQ(mp3::CheckFields(Header(Frame(1, 0, 15, 3))), 111u);
  EXPECT_EQ(mp3::CheckFields(Header(Frame(3, 0, 15, 3))), 112u);
  EXPECT_EQ(mp3::CheckFields(Header(Frame(3, 1, 15, 3))), 113u);
  EXPECT_EQ(mp3::CheckFields(Header(Frame(3, 1, 15, 0))), 114u);
  EXPECT_EQ(mp3::CheckFields(Header(Frame(3, 1, 0, 0))), 114u);
  EXPECT_EQ(mp3::CheckFields(Header(Frame(3, 1, 14, 0))), 0u);
}

TEST(Mp3FrameCheck, FollowingHeaderNeedsFourBytesSyncRateAndVersionOnly) {
  auto bytes = kt::HeaderBytes(Frame(3, 0, 15, 0));  // layer and bitrate are not looked at
  EXPECT_TRUE(mp3::IsFollowingHeader(bytes.data(), 4));
  EXPECT_FALSE(mp3::IsFollowingHeader(bytes.data(), 3));
  bytes = kt::HeaderBytes(Frame(3, 1, 9, 3));
  EXPECT_FALSE(mp3::IsFollowingHeader(bytes.data(), 4));
  bytes = kt::HeaderBytes(Frame(1, 1, 9, 0));
  EXPECT_FALSE(mp3::IsFollowingHeader(bytes.data(), 4));
  bytes = kt::HeaderBytes(Frame(3, 1, 9, 0));
  bytes[1] &= 0x1F;
  EXPECT_FALSE(mp3::IsFollowingHeader(bytes.data(), 4));
}

TEST(Mp3FrameVbr, FindsXingInfoAndVbriWhereEncodersPutThem) {
  auto frameWith = [](const kt::FrameSpec& layout, std::size_t at, const char* marker, std::size_t countAt,
                      std::uint32_t frames) {
    auto frame = kt::SyntheticFrames(layout, 1);
    std::copy(marker, marker + 4, frame.begin() + static_cast<long>(at));
    frame[at + 7] = 1;  // flags: frame count present (ignored for VBRI)
    for (int i = 0; i < 4; ++i) frame[countAt + i] = static_cast<std::uint8_t>(frames >> (24 - 8 * i));
    return frame;
  };
  kt::FrameSpec stereo = Frame(3, 1, 9, 0);
  auto xing = frameWith(stereo, 36, "Xing", 44, 1234);
  auto vbr = mp3::ParseVbrHeader(Header(stereo), xing.data(), xing.size());
  EXPECT_TRUE(vbr.present);
  EXPECT_EQ(vbr.frames, 1234u);

  kt::FrameSpec mono = stereo;
  mono.mono = true;
  auto info = frameWith(mono, 21, "Info", 29, 70000);
  vbr = mp3::ParseVbrHeader(Header(mono), info.data(), info.size());
  EXPECT_TRUE(vbr.present);
  EXPECT_EQ(vbr.frames, 70000u);

  kt::FrameSpec mpeg2 = Frame(2, 1, 8, 0);
  auto lsf = frameWith(mpeg2, 21, "Xing", 29, 99);
  EXPECT_EQ(mp3::ParseVbrHeader(Header(mpeg2), lsf.data(), lsf.size()).frames, 99u);

  auto vbri = frameWith(stereo, 36, "VBRI", 50, 4321);
  vbr = mp3::ParseVbrHeader(Header(stereo), vbri.data(), vbri.size());
  EXPECT_TRUE(vbr.present);
  EXPECT_EQ(vbr.frames, 4321u);

  auto plain = kt::SyntheticFrames(stereo, 1);
  EXPECT_FALSE(mp3::ParseVbrHeader(Header(stereo), plain.data(), plain.size()).present);
  // A marker cut off by the end of the frame is not read past it.
  EXPECT_FALSE(mp3::ParseVbrHeader(Header(stereo), xing.data(), 38).present);
}

TEST(Mp3FrameId3v2, TagLengthIsSynchSafeWithOptionalFooter) {
  auto tag = kt::Id3v2Tag(100 * 1024);
  EXPECT_EQ(mp3::Id3v2TagLength(tag.data(), tag.size()), tag.size());
  auto footed = kt::Id3v2Tag(300, true);
  EXPECT_EQ(mp3::Id3v2TagLength(footed.data(), footed.size()), footed.size());
  tag[7] |= 0x80;  // not synch-safe: not a tag header
  EXPECT_EQ(mp3::Id3v2TagLength(tag.data(), tag.size()), 0u);
  tag = kt::Id3v2Tag(10);
  tag[3] = 0xFF;
  EXPECT_EQ(mp3::Id3v2TagLength(tag.data(), tag.size()), 0u);
  EXPECT_EQ(mp3::Id3v2TagLength(tag.data(), 9), 0u);
}

// Opening and scanning files.

TEST(Mp3Scan, LeadingJunkIsSkippedAndNotCountedAsAudio) {
  kt::TempDir dir;
  auto bytes = Concat({std::vector<std::uint8_t>(1000, 0), kt::SyntheticFrames(Frame(3, 1, 9, 0), 40)});
  kt::WriteAll(dir.File("a.mp3"), bytes);
  CMp3File f(dir.File("a.mp3"));
  ASSERT_EQ(f.GetError(), 0u);
  EXPECT_EQ(f.GetAudioStart(), 1000u);
  EXPECT_EQ(f.GetAudioBytes(), 40u * 417);
  EXPECT_DOUBLE_EQ(f.GetDuration(), 40.0 * 417 / 16000.0);
}

TEST(Mp3Scan, SearchWindowEndsAt65536BytesAfterAnyId3v2Tag) {
  kt::TempDir dir;
  for (bool withTag : {false, true}) {
    for (bool footer : {false, true}) {
      if (footer && !withTag) continue;
      const auto tag = withTag ? kt::Id3v2Tag(100 * 1024, footer) : std::vector<std::uint8_t>{};
      for (std::size_t junk : {65535u, 65536u}) {
        auto bytes =
            Concat({tag, std::vector<std::uint8_t>(junk, 0x11), kt::SyntheticFrames(Frame(3, 1, 9, 0), 5)});
        kt::WriteAll(dir.File("w.mp3"), bytes);
        CMp3File f(dir.File("w.mp3"));
        EXPECT_EQ(f.GetError(), junk == 65535 ? 0u : 109u) << "tag " << withTag << " junk " << junk;
        if (junk == 65535 && f.GetError() == 0) {
          EXPECT_EQ(f.GetAudioStart(), tag.size() + junk);
          // The ID3v2 tag is not audio.
          EXPECT_DOUBLE_EQ(f.GetDuration(), 5 * 417 / 16000.0);
        }
      }
    }
  }
}

TEST(Mp3Scan, FalseSyncBeforeTheFirstFrameIsSkipped) {
  kt::TempDir dir;
  std::vector<std::uint8_t> junk(100, 0x22);
  const auto fake = kt::HeaderBytes(Frame(3, 1, 9, 0));  // no header one frame length later
  std::copy(fake.begin(), fake.end(), junk.begin() + 10);
  kt::WriteAll(dir.File("s.mp3"), Concat({junk, kt::SyntheticFrames(Frame(3, 1, 9, 0), 5)}));
  CMp3File f(dir.File("s.mp3"));
  ASSERT_EQ(f.GetError(), 0u);
  EXPECT_EQ(f.GetAudioStart(), 100u);
}

TEST(Mp3Scan, HeadersFailing111To114AreSkippedEvenWithAFrameOneLengthLater) {
  kt::TempDir dir;
  const kt::FrameSpec bad[] = {Frame(1, 1, 9, 0), Frame(3, 0, 9, 0), Frame(3, 1, 9, 3), Frame(3, 1, 15, 0),
                               Frame(3, 1, 0, 0)};
  for (const auto& layout : bad) {
    // The defective header stands 417 bytes before the real first frame, where
    // a 128 kbit/s frame would end, so only its own fields can refuse it.
    std::vector<std::uint8_t> junk(1000, 0x33);
    const auto header = kt::HeaderBytes(layout);
    std::copy(header.begin(), header.end(), junk.begin() + 583);
    kt::WriteAll(dir.File("b.mp3"), Concat({junk, kt::SyntheticFrames(Frame(3, 1, 9, 0), 5)}));
    CMp3File f(dir.File("b.mp3"));
    ASSERT_EQ(f.GetError(), 0u);
    EXPECT_EQ(f.GetAudioStart(), 1000u) << mp3::CheckFields(Header(layout));
  }
}

TEST(Mp3Scan, FilesWithoutAnUsableFrameGive109) {
  kt::TempDir dir;
  // The only frame is followed by the end of the file.
  kt::WriteAll(dir.File("one.mp3"), kt::SyntheticFrames(Frame(3, 1, 9, 0), 1));
  EXPECT_EQ(CMp3File(dir.File("one.mp3")).GetError(), 109u);
  // Free format.
  auto free = kt::SyntheticFrames(Frame(3, 1, 9, 0), 3);
  for (std::size_t at = 0; at < free.size(); at += 417) free[at + 2] &= 0x0F;
  kt::WriteAll(dir.File("free.mp3"), free);
  EXPECT_EQ(CMp3File(dir.File("free.mp3")).GetError(), 109u);
  // Random bytes named .mp3.
  kt::WriteAll(dir.File("random.mp3"), kt::PatternData(200000, 7));
  EXPECT_EQ(CMp3File(dir.File("random.mp3")).GetError(), 109u);
  // An ID3v2 tag that claims more than the file holds.
  auto tag = kt::Id3v2Tag(50000);
  tag.resize(2000);
  kt::WriteAll(dir.File("cut.mp3"), tag);
  EXPECT_EQ(CMp3File(dir.File("cut.mp3")).GetError(), 109u);
  // The foundation's open failures come first.
  EXPECT_EQ(CMp3File(dir.File("missing.mp3")).GetError(), 102u);
  kt::WriteAll(dir.File("empty.mp3"), {});
  EXPECT_EQ(CMp3File(dir.File("empty.mp3")).GetError(), 108u);
}

TEST(Mp3Scan, FindFrameAndRewindReturnToTheFirstAudioFrame) {
  kt::TempDir dir;
  auto bytes = Concat(
      {kt::Id3v2Tag(3000), std::vector<std::uint8_t>(50, 0), kt::SyntheticFrames(Frame(2, 1, 8, 0), 20)});
  kt::WriteAll(dir.File("r.mp3"), bytes);
  CMp3File f(dir.File("r.mp3"));
  ASSERT_EQ(f.GetError(), 0u);
  EXPECT_EQ(f.Rewind(), 0u);
  EXPECT_EQ(f.GetAudioStart(), 3010u + 50);
  EXPECT_EQ(f.GetFrameLength(), 208u);
  EXPECT_EQ(f.GetSampleRate(), 22050u);
  EXPECT_EQ(f.GetBitrate(), 64000u);
}

TEST(Mp3Scan, TagPresentAbsentAndShortFile) {
  kt::TempDir dir;
  auto frames = kt::SyntheticFrames(Frame(3, 1, 9, 0), 10);
  kt::WriteAll(dir.File("tagged.mp3"), Concat({frames, kt::Id3v1Tag({})}));
  CMp3File tagged(dir.File("tagged.mp3"));
  ASSERT_EQ(tagged.GetError(), 0u);
  EXPECT_TRUE(tagged.HasTag());
  EXPECT_EQ(tagged.GetDataSize(), frames.size());
  EXPECT_EQ(tagged.GetAudioEnd(), frames.size());

  kt::WriteAll(dir.File("plain.mp3"), frames);
  CMp3File plain(dir.File("plain.mp3"));
  EXPECT_FALSE(plain.HasTag());
  EXPECT_EQ(plain.GetDataSize(), frames.size());

  // Shorter than a tag: two tiny Layer I frames, no tag, no read before the start.
  auto tiny = kt::SyntheticFrames(Frame(3, 3, 1, 0), 3);  // 96 bytes
  tiny[4] = 'T', tiny[5] = 'A', tiny[6] = 'G';
  kt::WriteAll(dir.File("tiny.mp3"), tiny);
  CMp3File small(dir.File("tiny.mp3"));
  ASSERT_EQ(small.GetError(), 0u);
  EXPECT_FALSE(small.HasTag());
  EXPECT_EQ(small.GetDataSize(), 96u);
}

TEST(Mp3Scan, LayerOneTwoAndMpeg25StreamsOpen) {
  kt::TempDir dir;
  for (const auto& layout : {Frame(3, 3, 1, 0), Frame(3, 2, 10, 1), Frame(0, 1, 1, 2), Frame(2, 3, 14, 2)}) {
    kt::WriteAll(dir.File("k.mp3"), kt::SyntheticFrames(layout, 8));
    CMp3File f(dir.File("k.mp3"));
    EXPECT_EQ(f.GetError(), 0u) << layout.version << "/" << layout.layer;
    EXPECT_EQ(f.GetFrameLength(), kt::FrameBytes(layout));
  }
}

}  // namespace
