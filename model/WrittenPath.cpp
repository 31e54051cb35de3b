#include "model/WrittenPath.h"

#include <vector>

bool IsAbsoluteWritten(const std::string& written) {
    if (!written.empty() && (written[0] == '/' || written[0] == '\\'))
        return true;
    const bool drive =
        written.size() >= 2 && written[1] == ':' &&
        ((written[0] >= 'A' && written[0] <= 'Z') || (written[0] >= 'a' && written[0] <= 'z'));
    return drive;
}

std::string NormalWritten(const std::string& written) {
    std::vector<std::string> parts;
    std::string part;
    const bool absolute = !written.empty() && (written[0] == '/' || written[0] == '\\');
    auto close = [&] {
        const bool up = part == "..";
        if (up && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != "." && !(up && absolute)) // nothing is above a root
            parts.push_back(part);
        part.clear();
    };
    for (const char c : written) {
        if (c == '/' || c == '\\')
            close();
        else
            part += c;
    }
    close();
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? "/" : "") + parts[i];
    return out;
}

std::string JoinWritten(const std::string& base, const std::string& written) {
    if (IsAbsoluteWritten(written))
        return NormalWritten(written);
    const std::string from = NormalWritten(base);
    const auto slash = from.rfind('/');
    if (slash == std::string::npos)
        return NormalWritten(written);
    return NormalWritten(from.substr(0, slash + 1) + written);
}

std::string WrittenFileName(const std::string& written) {
    const auto slash = written.find_last_of("/\\");
    return slash == std::string::npos ? written : written.substr(slash + 1);
}
