// The input and output folder fields: a path shown as text, kept as its exact bytes.
#pragma once

#include <string>

class QLineEdit;

namespace phototrim::folders {

// Shows the path in the field and keeps its bytes beside the text. The text is only for the eye:
// a name that is not valid UTF-8 shows with replacement characters, and the field shows at most
// its 2000 characters; the bytes stay whole.
void SetFolderField(QLineEdit& field, const std::string& path);

// The path of the field: the bytes kept by SetFolderField while the field still shows what that
// call put there, and otherwise the field's text in UTF-8.
std::string FolderFieldPath(const QLineEdit& field);

}  // namespace phototrim::folders
