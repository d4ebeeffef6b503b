#pragma once
#include "settings/RegistrySettings.h"
