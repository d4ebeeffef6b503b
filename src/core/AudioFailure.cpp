#include "core/AudioFailure.h"

#include "core/StringTable.h"

CAudioFailure::CAudioFailure(AudioError code, std::string path, int osError)
    : code_(code), path_(std::move(path)), osError_(osError), text_(LoadMessage(code)) {}
