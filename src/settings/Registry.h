#pragma once
// Typed values in sections of the settings file, the layer CSettingsStore
// writes its numbers and texts through. A section is named by a key path (a
// root name, a backslash, the sub-key; kSettingsKeyPath for the program's
// own): the settings file has always named its sections so, and stored
// files rely on those names. The file is
// an INI file read and written with QSettings; its path is handed in. Qt Core
// only, so the command-line tool reads the same settings as the desktop
// program.

#include <QString>
#include <cstdint>
#include <string>

// Errors thrown by the CRegistry path constructor.
enum REGISTRYERROR {
  REGISTRY_NO_BACKSLASH = -98,    // the path holds no backslash
  REGISTRY_OPEN_FAILED = -99,     // the key can be neither opened nor created
  REGISTRY_NOTHING_AFTER = -100,  // the first backslash ends the path
};

// The five roots a key path may start with.
enum class RegistryRoot { ClassesRoot, Users, LocalMachine, CurrentUser, CurrentConfig };

// The types a value is stored as. Values that are neither numbers nor texts
// carry their type's number in the file ("hex(3):..."), so the numbers stay.
namespace stored {
constexpr std::uint32_t kNone = 0;
constexpr std::uint32_t kText = 1;    // "sz:" text, NUL implied
constexpr std::uint32_t kBytes = 3;   // any bytes
constexpr std::uint32_t kNumber = 4;  // "dword:" 4-byte little-endian number
}  // namespace stored

class CRegistryKey {
 public:
  explicit CRegistryKey(QString storeFile);
  virtual ~CRegistryKey();
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  // True when the key exists in the store. The file has neither options nor
  // access rights per key: those arguments are accepted and ignored.
  bool Open(RegistryRoot root, const std::string& subKey, std::uint32_t options = 0,
            std::uint32_t access = 0);
  // True when the store can hold the key; sets the created flag when the key
  // did not exist before. The key is written with its first value.
  bool Create(RegistryRoot root, const std::string& subKey, std::uint32_t options = 0,
              std::uint32_t access = 0);
  bool SetValue(const std::string& name, std::uint32_t type, const void* data, std::uint32_t size);
  // size: in, the buffer's size; out, the value's size. False when the value
  // is missing or larger than the buffer (then size tells what it needs).
  bool QueryValue(const std::string& name, std::uint32_t& size, std::uint32_t& type, void* data);
  bool Close();

  bool IsOpen() const { return !section_.isEmpty(); }
  bool Created() const { return created_ != 0; }

 private:
  QString storeFile_;
  QString section_;  // the key path in the store; empty when closed
  std::uint8_t created_ = 0;
};

class CRegistry : public CRegistryKey {
 public:
  // Opens the key of a full path (one of RegistryRoot's names, a backslash
  // or slash, the sub-key) in the settings file storeFile, creating it when
  // missing; throws REGISTRYERROR.
  CRegistry(QString storeFile, const std::string& path);

  bool ReadDword(const std::string& name, std::uint32_t& value);
  bool WriteDword(const std::string& name, std::uint32_t value);
  // The text is cut at its first byte outside printable ASCII.
  bool ReadString(const std::string& name, std::string& text);
  // Texts longer than 1022 characters are cut.
  bool WriteString(const std::string& name, const std::string& text);

  static constexpr std::uint32_t kReadBufferSize = 1024;
  static constexpr std::uint32_t kWriteSizeLimit = 1023;
};
