#pragma once
#include <cstdint>

// Options of one WAV-to-MP3 encoding, passed by value to the encoder driver.
struct Mp3EncodeSettings {
  std::uint16_t bitrate = 0;       // kbit/s; 0 lets the encoder choose
  std::uint16_t encodingMode = 0;  // 0 constant, 2 variable, 3 average bitrate
  std::uint16_t vbrQuality = 0;    // 0 best .. 9 worst, variable bitrate only
  bool monoFlag = false;
  bool copyrightFlag = false;
  bool crcFlag = false;
  bool originalFlag = true;
};
