#include "DemoOptions.h"

#include <cstdlib>
#include <sstream>

namespace {

struct NamedFormat {
    const char* Name;
    D3DFORMAT Format;
};

const NamedFormat kColourFormats[] = {{"X8R8G8B8", D3DFMT_X8R8G8B8}, {"A8R8G8B8", D3DFMT_A8R8G8B8}};
const NamedFormat kDepthFormats[] = {{"D24S8", D3DFMT_D24S8}, {"D24X8", D3DFMT_D24X8}, {"D16", D3DFMT_D16}};

bool ParseSize(const std::string& text, UINT& width, UINT& height) {
    const size_t lr_X = text.find('x');
    if (lr_X == std::string::npos) return false;
    char* lr_End = nullptr;
    const unsigned long lr_W = std::strtoul(text.c_str(), &lr_End, 10);
    if (lr_End != text.c_str() + lr_X) return false;
    const unsigned long lr_H = std::strtoul(text.c_str() + lr_X + 1, &lr_End, 10);
    if (*lr_End != '\0') return false;
    if (lr_W < 16 || lr_H < 16 || lr_W > 8192 || lr_H > 8192) return false;
    width = static_cast<UINT>(lr_W);
    height = static_cast<UINT>(lr_H);
    return true;
}

}  // namespace

bool ParseColourFormat(const std::string& name, D3DFORMAT& format) {
    for (const NamedFormat& lr_Entry : kColourFormats)
        if (name == lr_Entry.Name) {
            format = lr_Entry.Format;
            return true;
        }
    return false;
}

bool ParseDepthFormat(const std::string& name, D3DFORMAT& format) {
    for (const NamedFormat& lr_Entry : kDepthFormats)
        if (name == lr_Entry.Name) {
            format = lr_Entry.Format;
            return true;
        }
    return false;
}

const char* FormatName(D3DFORMAT format) {
    for (const NamedFormat& lr_Entry : kColourFormats)
        if (format == lr_Entry.Format) return lr_Entry.Name;
    for (const NamedFormat& lr_Entry : kDepthFormats)
        if (format == lr_Entry.Format) return lr_Entry.Name;
    return "?";
}

std::string DemoUsage(const char* program) {
    std::ostringstream ls_Text;
    ls_Text << "Usage: " << program << " [options]\n"
            << "\n"
            << "Loads the SSAO plug-in module, creates the plug-in with a host object of its own and\n"
            << "runs a scripted session on the software Direct3D 9 device: initialise, switch on,\n"
            << "frames of a 3D room drawn through the device, pictures of every pass with the figures\n"
            << "against ray-traced occlusion, ShowAOOnly off and on, a frame into an off-screen render\n"
            << "target, a lost and reset device, a resize, switch off, deinitialise. One line per step.\n"
            << "\n"
            << "Options:\n"
            << "  --module PATH     the plug-in module (default: libssao.so next to this program's\n"
            << "                    build folder, ../plugin/libssao.so)\n"
            << "  --data PATH       the folder that holds Plugins/SSAO (default: the source tree's data/)\n"
            << "  --out PATH        output folder; the plug-in writes Vexil.log there (default: ./out/)\n"
            << "  --size WxH        back-buffer size (default: 1280x720)\n"
            << "  --resize WxH      size after the resize step (default: 960x540)\n"
            << "  --format NAME     back-buffer format: X8R8G8B8 (default) or A8R8G8B8\n"
            << "  --depth NAME      depth-stencil format: D24S8 (default), D24X8 or D16\n"
            << "  --frames N        frames per rendering step, 1-100 (default: 2)\n"
            << "  --near D          the host camera's near plane (default 0.0003)\n"
            << "  --far D           its far plane (default 80)\n"
            << "  --reversed-depth  a reversed depth buffer (1 near, 0 far, cleared to 0)\n"
            << "                    Any of these three writes a Settings.fxh to match into a copy\n"
            << "                    of the data folder under the output folder, and runs with it\n"
            << "  --help            this text\n"
            << "\n"
            << "Exit status: 0 when every step worked; 1 when a device reset failed, a device object of\n"
            << "the plug-in outlived Deinitialise, or the plug-in's log lacks an expected line;\n"
            << "2 for bad options, a missing module or data folder.\n";
    return ls_Text.str();
}

bool ParseDemoOptions(int argc, char** argv, DemoOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string ls_Option = argv[i];
        if (ls_Option == "--help" || ls_Option == "-h") {
            options.Help = true;
            continue;
        }
        if (ls_Option == "--reversed-depth") {
            options.ReversedDepth = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = ls_Option.rfind("--", 0) == 0 ? "option " + ls_Option + " needs a value"
                                                  : "unknown argument " + ls_Option;
            return false;
        }
        const std::string ls_Value = argv[++i];
        if (ls_Option == "--module") {
            options.ModulePath = ls_Value;
        } else if (ls_Option == "--data") {
            options.DataPath = ls_Value;
        } else if (ls_Option == "--out") {
            options.OutputPath = ls_Value;
        } else if (ls_Option == "--size") {
            if (!ParseSize(ls_Value, options.Width, options.Height)) {
                error = "bad size '" + ls_Value + "' (WxH, 16 to 8192 each)";
                return false;
            }
        } else if (ls_Option == "--resize") {
            if (!ParseSize(ls_Value, options.ResizeWidth, options.ResizeHeight)) {
                error = "bad size '" + ls_Value + "' (WxH, 16 to 8192 each)";
                return false;
            }
        } else if (ls_Option == "--format") {
            if (!ParseColourFormat(ls_Value, options.BackBufferFormat)) {
                error = "unsupported back-buffer format '" + ls_Value + "'";
                return false;
            }
        } else if (ls_Option == "--depth") {
            if (!ParseDepthFormat(ls_Value, options.DepthFormat)) {
                error = "unsupported depth format '" + ls_Value + "'";
                return false;
            }
        } else if (ls_Option == "--frames") {
            char* lr_End = nullptr;
            const long lr_Frames = std::strtol(ls_Value.c_str(), &lr_End, 10);
            if (*lr_End != '\0' || lr_Frames < 1 || lr_Frames > 100) {
                error = "bad frame count '" + ls_Value + "' (1-100)";
                return false;
            }
            options.FramesPerStep = static_cast<int>(lr_Frames);
        } else if (ls_Option == "--near" || ls_Option == "--far") {
            char* lr_End = nullptr;
            const double lr_Plane = std::strtod(ls_Value.c_str(), &lr_End);
            if (*lr_End != '\0' || !(lr_Plane > 0) || lr_Plane > 1e6) {
                error = "bad " + ls_Option.substr(2) + " plane '" + ls_Value + "' (above 0, at most 1e6)";
                return false;
            }
            (ls_Option == "--near" ? options.NearPlane : options.FarPlane) = lr_Plane;
        } else {
            error = "unknown option " + ls_Option;
            return false;
        }
    }
    const double lr_Near = options.NearPlane > 0 ? options.NearPlane : 0.0003;
    const double lr_Far = options.FarPlane > 0 ? options.FarPlane : 80.0;
    if (options.SetsProjection() && lr_Near >= lr_Far) {
        error = "the near plane must lie in front of the far plane";
        return false;
    }
    return true;
}
