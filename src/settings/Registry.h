#pragma once
// A registry-like settings store: keys named by a path such as
// "HKEY_LOCAL_MACHINE\Software\Kestrune", each holding typed values. The
// store is a per-user INI file (one section per key path) read and written
// with QSettings; see RegistryFilePath. Qt Core only, so the command-line
// tool reads the same settings as the desktop program.

#include <QString>
#include <cstdint>
#include <string>

// Errors thrown by the CRegistry path constructor.
enum REGISTRYERROR {
  REGISTRY_NO_BACKSLASH = -98,    // the path holds no backslash
  REGISTRY_OPEN_FAILED = -99,     // the key can be neither opened nor created
  REGISTRY_NOTHING_AFTER = -100,  // the first backslash ends the path
};

// The five predefined roots a key path may start with.
enum class RegistryRoot { ClassesRoot, Users, LocalMachine, CurrentUser, CurrentConfig };

// Value types, numbered as the registry numbers them.
constexpr std::uint32_t REG_NONE = 0;
constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;
constexpr std::uint32_t KEY_ALL_ACCESS = 0xF003F;

// The store file: $KESTRUNE_CONFIG_DIR/registry.ini when that variable is
// set, else $XDG_CONFIG_HOME/Kestrune/registry.ini (default ~/.config).
QString RegistryFilePath();

class CRegistryKey {
 public:
  CRegistryKey() = default;
  virtual ~CRegistryKey();
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  // True when the key exists in the store.
  bool Open(RegistryRoot root, const std::string& subKey, std::uint32_t options = 0,
            std::uint32_t access = KEY_ALL_ACCESS);
  // True when the store can hold the key; sets the created flag when the key
  // did not exist before. The key is written with its first value.
  bool Create(RegistryRoot root, const std::string& subKey, std::uint32_t options = 0,
              std::uint32_t access = KEY_ALL_ACCESS);
  bool SetValue(const std::string& name, std::uint32_t type, const void* data, std::uint32_t size);
  // size: in, the buffer's size; out, the value's size. False when the value
  // is missing or larger than the buffer (then size tells what it needs).
  bool QueryValue(const std::string& name, std::uint32_t& size, std::uint32_t& type, void* data);
  bool Close();

  bool IsOpen() const { return !section_.isEmpty(); }
  bool Created() const { return created_ != 0; }

 private:
  QString section_;  // the key path in the store; empty when closed
  std::uint8_t created_ = 0;
};

class CRegistry : public CRegistryKey {
 public:
  // Opens the key of a full path such as "HKEY_CURRENT_USER\Software\X",
  // creating it when missing; throws REGISTRYERROR.
  explicit CRegistry(const std::string& path);

  bool ReadDword(const std::string& name, std::uint32_t& value);
  bool WriteDword(const std::string& name, std::uint32_t value);
  // The text is cut at its first byte outside printable ASCII.
  bool ReadString(const std::string& name, std::string& text);
  // Texts longer than 1022 characters are cut.
  bool WriteString(const std::string& name, const std::string& text);

  static constexpr std::uint32_t kReadBufferSize = 1024;
  static constexpr std::uint32_t kWriteSizeLimit = 1023;
};
