// The texts of the message table in English and French, and the loading of them into GST.
// The texts are built into the program and laid out as a StringTable content at load time.
#pragma once

#include <cstdint>

#include "toolkit/MemoryTable.h"
#include "toolkit/MessageIds.h"

class StringTable;

// Number of messages the program uses (indices 1 to MessageTextCount).
constexpr int32_t MessageTextCount = MsgEnd - 1;

// Fills table with every message in languages 0 (English) and 1 (French): Done; NoData when the
// table's words could not be allocated. The texts are UTF-8 and stored plain.
MemoryTable::Result LoadMessageTexts(StringTable &table);

// LoadMessageTexts on the global GST.
MemoryTable::Result LoadGST();
