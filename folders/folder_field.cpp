// The folder fields' exact path bytes, kept as properties of the field beside its text.
#include "folders/folder_field.h"

#include <QByteArray>
#include <QLineEdit>
#include <QVariant>

namespace phototrim::folders {

namespace {
constexpr char kPathProperty[] = "phototrimFolderPath";
constexpr char kShownProperty[] = "phototrimFolderShown";
}  // namespace

void SetFolderField(QLineEdit& field, const std::string& path) {
  field.setText(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
  field.setProperty(kPathProperty, QByteArray(path.data(), static_cast<qsizetype>(path.size())));
  // What the field made of it (cut to its length limit), to tell later whether anyone replaced it.
  field.setProperty(kShownProperty, field.text());
}

std::string FolderFieldPath(const QLineEdit& field) {
  const QVariant path = field.property(kPathProperty);
  if (path.isValid() && field.property(kShownProperty).toString() == field.text()) {
    const QByteArray bytes = path.toByteArray();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  return field.text().toUtf8().toStdString();
}

}  // namespace phototrim::folders
