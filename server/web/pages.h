// The pages people open in a browser: the home page with the enrolment form, the installer
// page, the documentation page, and the enrolment results. Any thread.
#pragma once

#include <string>

namespace tamovox::web {

std::string homePage();
std::string installerPage();
std::string documentationPage();
std::string enrolledPage(int number, const std::string& displayName);
std::string errorPage(const std::string& title, const std::string& reason);

}  // namespace tamovox::web
