#include "model/ByteSource.h"

#include "model/FileReader.h"
#include "model/WrittenPath.h"

Result<SourceBytes> ReadFileBytes(const std::string& path, int64_t maxBytes,
                                  const std::string& tooLarge) {
    FileReader file;
    if (!file.Open(path))
        return Error{"Cannot open", path, file.error()};
    if (file.size() > maxBytes)
        return Error{"", path, tooLarge};
    std::shared_ptr<Bytes> bytes = Bytes::Allocate(size_t(file.size()));
    if (!bytes)
        return Error{"", path, "there is not enough memory to read it"};
    if (bytes->size() && !file.ReadAt(0, bytes->data(), bytes->size()))
        return Error{"", path, "the file could not be read (" + file.error() + ")"};
    // Written to while we read it: what was read may mix two versions.
    if (!file.Unchanged())
        return Error{"", path, "the file changed while it was being read; load it again"};
    return SourceBytes{path, std::move(bytes)};
}

CompanionReader DiskCompanions(const std::string& modelPath) {
    return [modelPath](const std::string& written, int64_t limit) -> Result<SourceBytes> {
        if (IsAbsoluteWritten(written))
            return Error{"", written,
                         "it is named by a path on the machine the model was made on; put it "
                         "beside the model"};
        const std::string path = JoinWritten(modelPath, written);
        if (path.empty())
            return Error{"", written, "it names no file"};
        return ReadFileBytes(path, limit, "it is larger than a file beside a model may be");
    };
}
