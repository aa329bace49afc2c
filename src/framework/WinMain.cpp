// The program's entry point, kept out of the framework library: an archive member is linked
// only when something already wants it, and the runtime's own wmain asks for wWinMain too late
// in the link for that. Linking this object library puts it in unconditionally.
#include "framework/Application.h"

#include <windows.h>

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return tamsivo::Application::Run();
}
