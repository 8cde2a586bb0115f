// Writes the seed corpus of fuzz_icon into the directory given: icons of
// every kind the reader knows, made with the project's icon writer.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "tools/icon_writer/icon_writer.h"

using namespace lanterna::iconw;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<std::pair<std::string, IconDescription>> seeds;

    IconDescription tool = ToolIcon({"WAIT=5", "CENTER=YES|NO", "(CYCLE)", "EHB"});
    tool.selectImage = IconImage{0, 0, 20, 9, 2, 3, 0, 0xA5};
    tool.toolWindow = "CON:0/0/400/100/Output";
    seeds.emplace_back("tool", tool);

    IconDescription project = ProjectIcon({"WAITAFTEROPEN=2"});
    project.image = IconImage{0, 0, 7, 3, 1, 1, 0, 0xFF};
    seeds.emplace_back("project", project);

    // The longest waits an icon can ask for, with cycling on: only a break
    // ends a run of such a picture early.
    IconDescription patient = ProjectIcon({"WAITAFTEROPEN=2147483647", "WAIT=2147483647", "CYCLE=YES", "CENTER"});
    patient.image = IconImage{0, 0, 7, 3, 1, 1, 0, 0x3C};
    seeds.emplace_back("project-longest-waits", patient);
    IconDescription drawing = ProjectIcon({"WAIT=-1", "WAITAFTEROPEN=0", "HAM=NO", "EHB=YES", "CYCLE"});
    drawing.image = IconImage{0, 0, 7, 3, 1, 1, 0, 0xC3};
    seeds.emplace_back("project-odd-values", drawing);

    IconDescription drawer;
    drawer.type = TYPE_DRAWER;
    drawer.drawerData = true;
    drawer.image = IconImage{0, 0, 16, 2, 2, 3, 0, 0x0F};
    seeds.emplace_back("drawer-2x", drawer);
    drawer.revision2 = false;
    seeds.emplace_back("drawer-1x", drawer);

    IconDescription disk;
    disk.type = TYPE_DISK;
    disk.drawerData = true;
    disk.defaultTool = "SYS:System/DiskCopy";
    disk.image = IconImage{0, 0, 4, 1, 1, 1, 0, 0};
    disk.trailing = {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'C', 'O', 'N'};
    seeds.emplace_back("disk-newer-data", disk);

    for (const auto& [name, desc] : seeds) {
        if (!SaveBytes(dir + "/" + name + ".info", EncodeIcon(desc))) {
            std::fprintf(stderr, "cannot write %s/%s.info\n", dir.c_str(), name.c_str());
            return 1;
        }
    }
    return 0;
}
