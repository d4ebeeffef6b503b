#pragma once
// Outcome codes of audio operations. A code is also the id of its message in
// the string table (LoadMessage); 0 is success. A code that ends an operation
// travels in a CAudioFailure (core/AudioFailure.h).

#include <cstdint>

using AudioError = std::uint32_t;

namespace err {
constexpr AudioError kNone = 0;
constexpr AudioError kCannotOpen = 102;
constexpr AudioError kCannotCreateOutput = 103;
constexpr AudioError kNoRiffHeader = 104;
constexpr AudioError kNoFormatChunk = 105;
constexpr AudioError kNoDataChunk = 106;
constexpr AudioError kFormatDamaged = 107;
constexpr AudioError kZeroLength = 108;
constexpr AudioError kInvalidMp3 = 109;
constexpr AudioError kSyncLost = 110;
constexpr AudioError kBadMpegVersion = 111;
constexpr AudioError kBadLayer = 112;
constexpr AudioError kBadSamplingRate = 113;
constexpr AudioError kBadBitrate = 114;
constexpr AudioError kSingleChannel = 116;
constexpr AudioError kCompressedData = 117;
constexpr AudioError kNoMemory = 118;
constexpr AudioError kOutputIsSource = 119;
constexpr AudioError kEncoderInit = 121;
constexpr AudioError kEncoderParams = 122;
constexpr AudioError kNot8BitPcm = 125;
constexpr AudioError kBitsNotSupported = 126;
constexpr AudioError kTooManyChannels = 127;
constexpr AudioError kNot16BitPcm = 129;
constexpr AudioError kWidenFailed = 130;
constexpr AudioError kTooManySplits = 3000;
constexpr AudioError kSplitsNotAboveOne = 3001;
constexpr AudioError kNoSplits = 3002;
constexpr AudioError kDecodeFailed = 4000;
constexpr AudioError kDecodeTooManyChannels = 4001;
constexpr AudioError kBatchUnknownType = 10002;
constexpr AudioError kBatchOutputExists = 10004;
constexpr AudioError kBatchNotSelected = 10006;
// Failures that carry a text of their own (CAudioFailure); no catalogue entry.
constexpr AudioError kFileFault = 7000;   // a file operation failed (CFileException)
constexpr AudioError kCueSheet = 7001;    // a cue sheet cannot be used
constexpr AudioError kLevelScan = 7002;   // a silence scan cannot run
constexpr AudioError kNoSilence = 7003;   // a silence split found no silence
constexpr AudioError kPieceWrite = 7004;  // a piece of a split could not be written
constexpr AudioError kPieceTag = 7005;    // a piece of a split could not be tagged
constexpr AudioError kExport = 7006;      // a cut-list export could not be written
constexpr AudioError kUnexpected = 7007;  // an operation ended by a fault of no known kind
constexpr AudioError kNotOffered = 7008;  // the file does not offer the conversion asked for
constexpr AudioError kDamagedAudio = 7009;  // a frame of the audio is damaged
constexpr AudioError kInvalidFlac = 7010;   // not a FLAC stream Kestrune reads
constexpr AudioError kOggFlac = 7011;       // FLAC inside an Ogg container
constexpr AudioError kFlacEncoder = 7012;   // the FLAC encoder failed
}  // namespace err
