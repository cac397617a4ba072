// Text8: one decoding per text; a single invalid sequence anywhere sends the whole text to
// Latin-1, so that no byte is replaced.
#include "platform_qt/Text8.h"

#include <QStringDecoder>

QString FromText8(QByteArrayView bytes, bool *wasUtf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder(bytes);
    const bool utf8 = !decoder.hasError();
    if (wasUtf8 != nullptr) {
        *wasUtf8 = utf8;
    }
    return utf8 ? decoded : QString::fromLatin1(bytes);
}
