#pragma once
// The core's one error type: what failed, on which file, and why, in plain
// words. The window and the command line each phrase it for their user.
#include <string>
#include <utility>
#include <variant>

// What went wrong, for callers that act on it rather than only show it:
// which hint to give, whether it is a warning. Most errors are Failed.
enum class ErrorKind {
    Failed,
    NoSuchSurface, // a surface asked for is not in the model
    NoSuchTexture, // no surface wears the texture asked for
    EmptyLayout,   // a layout without area: drawn, but it shows nothing
    PakNotModel,   // a pak was named where a model was asked for
};

struct Error {
    std::string what;   // "Cannot open"; empty when the path and reason say it all
    std::string path;   // the file concerned
    std::string reason; // plain words, without a final stop
    ErrorKind kind = ErrorKind::Failed;

    // "Cannot open \"x.md3\": No such file or directory." or
    // "\"x.md3\": it does not start with \"IDP3\", ...". Without a path (a
    // decoder's error about bytes), the reason alone.
    std::string Message() const {
        if (path.empty() && what.empty())
            return reason;
        return (what.empty() ? "" : what + " ") + "\"" + path + "\": " + reason + ".";
    }
};

// A value, or the error that kept it from being made.
template <typename T> class Result {
  public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Error error) : m_value(std::move(error)) {}

    bool ok() const { return m_value.index() == 0; }
    T& value() { return std::get<0>(m_value); }
    const T& value() const { return std::get<0>(m_value); }
    const Error& error() const { return std::get<1>(m_value); }

  private:
    std::variant<T, Error> m_value;
};

// Done, or the error that kept it from being done: what writers and
// decoders return.
struct Done {};
using Status = Result<Done>;
inline Status Success() {
    return Done{};
}
