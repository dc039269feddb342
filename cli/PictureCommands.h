#pragma once
// export --pictures DIR IMAGE: every picture of the image as a PNG file.

#include <string>

namespace cli {

// Writes every picture into the folder `folder` (made when it does not
// exist; its parent must). Exit status 0 when every picture was written, 1
// when some could not be shown (each said) or a file could not be written.
int RunPictureExport(const std::string& image, const std::string& folder);

}  // namespace cli
