#include "game/Archive.h"

#include "model/Model.h"

#include <zip.h>

std::string GamePathKey(std::string name) {
    for (char& c : name)
        c = c == '\\' ? '/' : char(std::tolower(static_cast<unsigned char>(c)));
    while (name.rfind("./", 0) == 0)
        name.erase(0, 2);
    return name;
}

bool IsGamePath(const std::string& raw) {
    std::string name = raw;
    for (char& c : name)
        if (c == '\\')
            c = '/';
    if (name.empty() || name[0] == '/' || name.find("::") != std::string::npos)
        return false;
    if (name.size() >= 2 && name[1] == ':') // "C:"
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t slash = name.find('/', start);
        const std::string part =
            name.substr(start, slash == std::string::npos ? slash : slash - start);
        if (part == "..")
            return false;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return name.find('\0') == std::string::npos;
}

Result<std::shared_ptr<Archive>> Archive::Open(const std::string& path) {
    int error = 0;
    // Each entry is checked against the central directory when it is read;
    // checking them all here (ZIP_CHECKCONS) would read every entry of a large pak.
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!zip) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        Error failure{"Cannot open the archive", path, zip_error_strerror(&e)};
        zip_error_fini(&e);
        return failure;
    }
    std::shared_ptr<Archive> archive(new Archive);
    archive->m_path = path;
    archive->m_zip = zip;
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* raw = zip_get_name(zip, zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (!raw)
            continue;
        std::string name = raw;
        if (name.empty() || name.back() == '/') // a folder
            continue;
        for (char& c : name)
            if (c == '\\')
                c = '/';
        if (!IsGamePath(name)) {
            archive->m_refused.push_back(name);
            continue;
        }
        archive->m_entries.push_back({name, zip_uint64_t(i)});
    }
    return archive;
}

Archive::~Archive() {
    if (m_zip)
        zip_discard(m_zip);
}

Result<SourceBytes> Archive::Read(const ArchiveEntry& entry) const {
    const std::string origin = m_path + ":" + entry.name;
    const std::lock_guard<std::mutex> lock(m_mutex);
    auto fail = [&](const std::string& why) { return Error{"Cannot read", origin, why}; };
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip, entry.index, 0, &stat) != 0)
        return fail(zip_strerror(m_zip));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        return fail("the entry is encrypted");
    if ((stat.valid & ZIP_STAT_COMP_METHOD) &&
        !zip_compression_method_supported(stat.comp_method, 0))
        return fail("the entry is compressed by a method Gridwright cannot read (" +
                    std::to_string(stat.comp_method) + ")");
    zip_file_t* file = zip_fopen_index(m_zip, entry.index, 0);
    if (!file)
        return fail(zip_strerror(m_zip));
    // Read in pieces, never trusting the size claimed: a small entry can
    // claim little and inflate to gigabytes.
    std::vector<uint8_t> bytes;
    uint8_t piece[65536];
    for (;;) {
        const zip_int64_t got = zip_fread(file, piece, sizeof piece);
        if (got < 0) {
            const std::string why = zip_error_strerror(zip_file_get_error(file));
            zip_fclose(file);
            return fail(why);
        }
        if (got == 0)
            break;
        if (int64_t(bytes.size()) + got > kMaxEntryBytes) {
            zip_fclose(file);
            return fail("the entry inflates to more than " + std::to_string(kMaxEntryBytes >> 20) +
                        " MB, which no game file is");
        }
        bytes.insert(bytes.end(), piece, piece + got);
    }
    // Closing checks the CRC of what was read.
    if (const int closed = zip_fclose(file); closed != 0) {
        zip_error_t e;
        zip_error_init_with_code(&e, closed);
        const std::string why = zip_error_strerror(&e);
        zip_error_fini(&e);
        return fail(why);
    }
    return SourceBytes{origin, Bytes::Copy(bytes.data(), bytes.size())};
}
