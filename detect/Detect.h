#pragma once

// The detection core's public interface in one include.
#include "detect/Database.h"
#include "detect/DatabaseBuilder.h"
#include "detect/Error.h"
#include "detect/Finding.h"
#include "detect/Hash.h"
#include "detect/Match.h"
#include "detect/MemoryBudget.h"
#include "detect/ObjectScan.h"
#include "detect/PayloadReader.h"
#include "detect/SignatureParser.h"
