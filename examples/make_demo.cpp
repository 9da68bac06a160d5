// velmaris-mkdemo: writes the demo image as demo.hex and demo.bin into a folder.
//   velmaris-mkdemo [FOLDER]   (default: the current folder)

#include "demo_image.h"
#include "image/firmware_image.h"

#include <exception>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc > 2) {
        std::cerr << "usage: velmaris-mkdemo [FOLDER]\n";
        return 2;
    }
    const std::string folder = argc == 2 ? std::string(argv[1]) + "/" : std::string();
    try {
        FirmwareImage image;
        BuildDemoImage(image);
        image.SaveBin(folder + "demo.bin");
        image.SaveHex(folder + "demo.hex");
    } catch (const std::exception& e) {
        std::cerr << "velmaris-mkdemo: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
