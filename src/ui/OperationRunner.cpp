#include "ui/OperationRunner.h"

#include <exception>
#include <new>

#include "audio/AudioError.h"
#include "audio/File.h"
#include "res/StringTable.h"

std::string RunCatchingFileFailures(const std::function<void()>& operation, const std::string& sourcePath) {
  try {
    operation();
  } catch (const CFileException& e) {
    return e.Message();
  } catch (const std::bad_alloc&) {
    return LoadMessage(err::kNoMemory);
  } catch (const std::exception&) {
    // Nothing may escape into the event loop.
    return FileFailureMessage(FileCause::Generic, sourcePath);
  }
  return {};
}
