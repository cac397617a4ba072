// Text8: the front end's 8-bit texts as Qt strings. The front end keeps bytes (UTF-8 scripts and
// message texts, or Latin-1 files from elsewhere); Qt wants characters.
#pragma once

#include <QByteArrayView>
#include <QString>

// bytes as UTF-8 when they are valid UTF-8, else as Latin-1 (one character per byte, so every
// byte survives the way back). wasUtf8, when given, tells which of the two it was.
QString FromText8(QByteArrayView bytes, bool *wasUtf8 = nullptr);
