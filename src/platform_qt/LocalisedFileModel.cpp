// LocalisedFileModel: the file system model formats its sizes and dates with the system's locale,
// which the program cannot change; this proxy writes them again from the file's own figures.
#include "platform_qt/LocalisedFileModel.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemModel>

namespace {

constexpr int SizeColumn = 1;
constexpr int DateColumn = 3;

}  // namespace

LocalisedFileModel::LocalisedFileModel(const QLocale &locale, QObject *parent)
    : QIdentityProxyModel(parent), Locale(locale) {}

QVariant LocalisedFileModel::data(const QModelIndex &index, int role) const {
    const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
    const int column = index.column();
    if (role != Qt::DisplayRole || files == nullptr ||
        (column != SizeColumn && column != DateColumn)) {
        return QIdentityProxyModel::data(index, role);
    }
    const QFileInfo info = files->fileInfo(mapToSource(index));
    if (column == SizeColumn) {
        // Folders show no size.
        return info.isDir() ? QIdentityProxyModel::data(index, role)
                            : QVariant(Locale.formattedDataSize(info.size()));
    }
    return Locale.toString(info.lastModified(), QLocale::ShortFormat);
}
