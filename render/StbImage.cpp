// The one build of stb_image: TGA, JPEG and PNG only, from memory only,
// with its size limit and plain-words failure reasons.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 8192
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>
