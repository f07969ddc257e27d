#include "DepthRangeEstimator.h"

#include <algorithm>
#include <cmath>

namespace {

// Shares of the scene's samples nearer than the three values sought.
const double k_Shares[3] = {0.02, 0.5, 0.98};
// Brackets are in ln u. A found value is watched this far either side.
const double k_WatchReach = 0.04;
// A bracket this narrow is found; one this narrow is good enough to show:
// its middle is then within the dead band of where the value lies, so what
// is first shown stays once the search ends (a still scene settles at once).
const double k_FoundWidth = 0.03;
const double k_ShowableWidth = 0.2;
// An estimate this far from what is shown is a cut, not a move: shown at once.
const double k_Cut = 0.7;
// What is shown moves only once the estimate is this far off, then by at
// most k_ShownStep per take until it meets the estimate.
const double k_DeadBand = 0.1;
const double k_ShownStep = 0.05;
// Probes of a scan, between the least u and 1.
const unsigned k_ScanProbes = 6;

}  // namespace

DepthRangeEstimator::DepthRangeEstimator(double leastU) { Restart(leastU); }

void DepthRangeEstimator::Restart(double leastU) {
    mr_LeastX = std::log(std::min(std::max(leastU, 1e-30), 0.5));
    for (unsigned i = 0; i < 3; ++i) {
        mr_Targets[i] = Target();
        mr_Targets[i].Share = k_Shares[i];
    }
    mr_Reversed = false;
    mr_OrientationKnown = false;
    mr_Applied = false;
    mr_SawBackground = mr_SawScene = false;
    mr_Takes = mr_SettledAfter = 0;
}

void DepthRangeEstimator::Scan() {
    for (Target& lr_Target : mr_Targets) {
        lr_Target.State = Mode::Scan;
        lr_Target.Moving = false;
    }
}

unsigned DepthRangeEstimator::Plan(int hint, DepthProbe (&probes)[k_MaxProbes]) {
    const bool lr_Reversed = mr_OrientationKnown ? mr_Reversed : hint == 1;
    unsigned lr_Count = 0;
    // The scene's samples either way: which count has a background says how the buffer runs.
    const double lr_Least = std::exp(mr_LeastX);
    probes[lr_Count++] = {lr_Least, false};
    probes[lr_Count++] = {lr_Least, true};
    auto Add = [&](double x) { probes[lr_Count++] = {std::exp(std::min(x, 0.0)), lr_Reversed}; };
    if (mr_Targets[0].State == Mode::Scan) {
        for (unsigned i = 1; i <= k_ScanProbes; ++i) Add(mr_LeastX * (1.0 - i / (k_ScanProbes + 1.0)));
        return lr_Count;
    }
    for (const Target& lr_Target : mr_Targets) {
        if (lr_Target.State == Mode::Watch) {
            Add(lr_Target.Found - k_WatchReach);
            Add(lr_Target.Found + k_WatchReach);
        } else {
            const double lr_Third = (lr_Target.High - lr_Target.Low) / 3.0;
            Add(lr_Target.Low + lr_Third);
            Add(lr_Target.Low + 2.0 * lr_Third);
        }
    }
    return lr_Count;
}

void DepthRangeEstimator::Take(const DepthProbe* probes, const unsigned long* counts, unsigned count,
                               unsigned long samples) {
    if (count < 2 || count > k_MaxProbes || samples == 0) return;
    const double lr_Samples = static_cast<double>(samples);
    const double lr_Usual = static_cast<double>(counts[0]), lr_Reversed = static_cast<double>(counts[1]);
    // The cleared background: samples at 1 in a buffer as usual, at 0 reversed.
    const bool lr_AtOne = lr_Usual < lr_Samples, lr_AtZero = lr_Reversed < lr_Samples;
    const bool lr_Planned = count > 2 ? probes[2].Reversed : mr_Reversed;
    bool lr_Now = lr_Planned;
    if (lr_AtOne != lr_AtZero) {
        lr_Now = lr_AtZero;
        if (!mr_OrientationKnown || lr_Now != mr_Reversed) Scan();
        mr_OrientationKnown = true;
        mr_Reversed = lr_Now;
    } else if (!mr_OrientationKnown) {
        // No background, or one either way: the host's depth test decides.
        if (lr_Now != mr_Reversed) Scan();
        mr_Reversed = lr_Now;
    }
    const double lr_Scene = mr_Reversed ? lr_Reversed : lr_Usual;
    mr_SawBackground = lr_Scene < lr_Samples;
    mr_SawScene = lr_Scene > 0.0;
    ++mr_Takes;
    // Counts made the other way, or of nothing, say nothing of the range.
    if (lr_Planned != mr_Reversed || !mr_SawScene || count != 2 + 2 * 3) {
        UpdateShown();
        return;
    }
    double lr_X[k_MaxProbes], lr_N[k_MaxProbes];
    for (unsigned i = 2; i < count; ++i) {
        lr_X[i - 2] = std::log(probes[i].U);
        lr_N[i - 2] = static_cast<double>(counts[i]);
    }
    if (mr_Targets[0].State == Mode::Scan) {
        TakeScan(lr_X, lr_N, lr_Scene);
    } else if (mr_Targets[0].State != Mode::Scan) {
        mr_Rescan = false;
        for (unsigned i = 0; i < 3; ++i)
            TakeTarget(mr_Targets[i], lr_X[2 * i], lr_N[2 * i], lr_X[2 * i + 1], lr_N[2 * i + 1], lr_Scene);
        if (mr_Rescan) {
            Scan();
            return;
        }
    }
    UpdateShown();
}

void DepthRangeEstimator::TakeScan(const double* x, const double* n, double scene) {
    // The whole range: the least u holds every scene sample, u = 1 none.
    const unsigned lr_Points = k_ScanProbes + 2;
    double lr_X[lr_Points], lr_N[lr_Points];
    lr_X[0] = mr_LeastX;
    lr_N[0] = scene;
    for (unsigned i = 0; i < k_ScanProbes; ++i) {
        lr_X[i + 1] = x[i];
        lr_N[i + 1] = n[i];
    }
    lr_X[lr_Points - 1] = 0.0;
    lr_N[lr_Points - 1] = 0.0;
    for (Target& lr_Target : mr_Targets) {
        const double lr_Count = lr_Target.Share * scene;
        unsigned i = 0;
        while (i + 2 < lr_Points && lr_N[i + 1] >= lr_Count) ++i;
        lr_Target.Low = lr_X[i];
        lr_Target.High = lr_X[i + 1];
        lr_Target.State = Mode::Refine;
    }
}

void DepthRangeEstimator::TakeTarget(Target& target, double x1, double n1, double x2, double n2, double scene) {
    const double lr_Count = target.Share * scene;
    if (target.State == Mode::Watch) {
        if (n1 >= lr_Count && n2 < lr_Count) return;
        // The scene moved: scanned again from the next take, what is shown staying meanwhile.
        mr_Rescan = true;
        return;
    }
    if (n1 < lr_Count) {
        target.High = x1;
    } else if (n2 < lr_Count) {
        target.Low = x1;
        target.High = x2;
    } else {
        target.Low = x2;
    }
    if (target.High - target.Low < k_FoundWidth) {
        target.State = Mode::Watch;
        target.Found = 0.5 * (target.Low + target.High);
    }
}

void DepthRangeEstimator::UpdateShown() {
    for (const Target& lr_Target : mr_Targets) {
        if (lr_Target.State == Mode::Scan) return;
        if (lr_Target.State == Mode::Refine && lr_Target.High - lr_Target.Low > k_ShowableWidth) return;
    }
    bool lr_Changed = false;
    for (Target& lr_Target : mr_Targets) {
        const double lr_Estimate = lr_Target.Estimate();
        if (!mr_Applied) {
            lr_Target.Shown = lr_Estimate;
            lr_Changed = true;
            continue;
        }
        const double lr_Off = lr_Estimate - lr_Target.Shown;
        if (!lr_Target.Moving && std::fabs(lr_Off) <= k_DeadBand) continue;
        if (std::fabs(lr_Off) > k_Cut) {
            lr_Target.Shown = lr_Estimate;
            lr_Target.Moving = false;
            lr_Changed = true;
            continue;
        }
        lr_Target.Moving = true;
        lr_Target.Shown += std::max(-k_ShownStep, std::min(k_ShownStep, lr_Off));
        if (std::fabs(lr_Estimate - lr_Target.Shown) < 1e-12) lr_Target.Moving = false;
        lr_Changed = true;
    }
    mr_Applied = true;
    if (lr_Changed) mr_SettledAfter = mr_Takes;
}

SceneDepthRange DepthRangeEstimator::Range() const {
    SceneDepthRange lr_Range;
    lr_Range.NearU = std::exp(mr_Targets[0].Shown);
    lr_Range.MedianU = std::exp(mr_Targets[1].Shown);
    lr_Range.FarU = std::exp(mr_Targets[2].Shown);
    return lr_Range;
}
