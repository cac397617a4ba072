// MessageIds: the index of every message of the message table by name, in table order, so that
// no caller writes a bare number; GST.Get(MsgXxx) gives the text in the chosen language. The
// names and the texts come from one list, MessageList.inc.
#pragma once

enum MessageId : int {
    MsgNone = 0,  // the table counts from 1
#define VORNA_MESSAGE(Id, english, french) Id,
#include "toolkit/MessageList.inc"
#undef VORNA_MESSAGE
    MsgEnd  // one past the last message
};
