// What mksfx hands the core and takes from it: the progress the decoder
// paints, and the messages the core shows (a missing volume, for one).
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace mksfx {

// Called where the stub would paint its bars; null for none.
extern std::function<void()> OnCorePaint;

// The messages the core showed since the last call, text and caption.
std::vector<std::string> TakeCoreMessages();

}  // namespace mksfx
