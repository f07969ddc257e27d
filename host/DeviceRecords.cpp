#include "DeviceRecords.h"

#include "DemoOptions.h"

#include <map>
#include <sstream>

namespace {

std::string FormatText(D3DFORMAT format) {
    const char* ls_Name = FormatName(format);
    if (ls_Name[0] != '?') return ls_Name;
    return "format " + std::to_string(static_cast<int>(format));
}

std::string ObjectText(const SoftLiveObject& object) {
    std::ostringstream ls_Text;
    ls_Text << SoftObjectKindName(object.Kind);
    if (object.Kind == SoftObjectKind::Texture || object.Kind == SoftObjectKind::Surface) {
        ls_Text << " " << object.Width << "x" << object.Height << " " << FormatText(object.Format) << " "
                << SoftPoolName(object.Pool);
        if (object.Usage & D3DUSAGE_RENDERTARGET) ls_Text << " render target";
    } else if (object.Kind == SoftObjectKind::VertexBuffer || object.Kind == SoftObjectKind::IndexBuffer) {
        ls_Text << " " << SoftPoolName(object.Pool);
    }
    return ls_Text.str();
}

bool Contains(const LiveObjects& objects, const void* object) {
    for (const SoftLiveObject& lr_Object : objects.Objects)
        if (lr_Object.Object == object) return true;
    return false;
}

}  // namespace

LiveObjects TakeLiveObjects(ISoftDeviceControl* control) {
    LiveObjects lr_Snapshot;
    for (const SoftLiveObject& lr_Object : control->GetLiveObjects())
        if (!lr_Object.Implicit) lr_Snapshot.Objects.push_back(lr_Object);
    return lr_Snapshot;
}

std::string GroupObjects(const std::vector<SoftLiveObject>& objects) {
    std::map<std::string, int> lr_Counts;
    std::vector<std::string> lr_Order;
    for (const SoftLiveObject& lr_Object : objects) {
        const std::string ls_Text = ObjectText(lr_Object);
        if (lr_Counts[ls_Text]++ == 0) lr_Order.push_back(ls_Text);
    }
    std::ostringstream ls_Out;
    for (size_t i = 0; i < lr_Order.size(); ++i)
        ls_Out << (i ? ", " : "") << lr_Counts[lr_Order[i]] << " " << lr_Order[i];
    return ls_Out.str();
}

std::string DescribeChange(const LiveObjects& before, const LiveObjects& after) {
    std::vector<SoftLiveObject> lr_Created, lr_Released;
    for (const SoftLiveObject& lr_Object : after.Objects)
        if (!Contains(before, lr_Object.Object)) lr_Created.push_back(lr_Object);
    for (const SoftLiveObject& lr_Object : before.Objects)
        if (!Contains(after, lr_Object.Object)) lr_Released.push_back(lr_Object);
    std::ostringstream ls_Text;
    if (!lr_Created.empty()) ls_Text << "created " << GroupObjects(lr_Created);
    if (!lr_Released.empty()) ls_Text << (lr_Created.empty() ? "" : "; ") << "released " << GroupObjects(lr_Released);
    if (lr_Created.empty() && lr_Released.empty()) ls_Text << "no objects created or released";
    ls_Text << " (" << after.Objects.size() << " alive)";
    return ls_Text.str();
}

std::string DescribeRecords(ISoftDeviceControl* control) {
    const std::vector<SoftDrawRecord>& lr_Draws = control->GetDraws();
    const std::vector<SoftCopyRecord>& lr_Copies = control->GetCopies();
    std::ostringstream ls_Text;
    ls_Text << lr_Draws.size() << " draw" << (lr_Draws.size() == 1 ? "" : "s");
    if (!lr_Draws.empty()) {
        ls_Text << " [";
        for (size_t i = 0; i < lr_Draws.size(); ++i) {
            const SoftDrawRecord& lr_Draw = lr_Draws[i];
            ls_Text << (i ? ", " : "") << (lr_Draw.PixelShaderName.empty() ? "fixed" : lr_Draw.PixelShaderName) << " "
                    << lr_Draw.PrimitiveCount << " tri";
        }
        ls_Text << "]";
    }
    size_t lr_Failed = 0;
    for (const SoftCopyRecord& lr_Copy : lr_Copies)
        if (FAILED(lr_Copy.Result)) ++lr_Failed;
    ls_Text << ", " << lr_Copies.size() << " cop" << (lr_Copies.size() == 1 ? "y" : "ies");
    if (lr_Failed) ls_Text << " (" << lr_Failed << " refused)";
    return ls_Text.str();
}
