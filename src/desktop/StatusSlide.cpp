#include "desktop/StatusSlide.h"

namespace vorlaxen {

std::vector<std::string> StatusSlideSteps(const std::string& message) {
    std::vector<std::string> steps;
    steps.reserve(26);
    for (int n = 6; n >= 2; --n) {
        std::string s = std::string(static_cast<std::size_t>(n - 1), ' ') + message;
        for (int i = 0; i < n - 1; ++i) {
            s.erase(0, 1);
            steps.push_back(s);
        }
        for (int i = 0; i < n - 2; ++i) {
            s.insert(0, 1, ' ');
            steps.push_back(s);
        }
    }
    steps.push_back(message);
    return steps;
}

} // namespace vorlaxen
