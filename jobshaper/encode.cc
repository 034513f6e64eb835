// Text encoding conversion of job titles and printer descriptions.
#include "jobshaper/encode.h"

// Titles pass unchanged for now; the conversion tables come with banner pages.
void Encodeit(std::string& /*text*/, const char* /*locale*/, int /*is_banner*/,
              int /*codeset_flag*/) {}
