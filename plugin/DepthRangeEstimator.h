// Finds where a scene's depth lies from occlusion-query counts of a sparse
// grid of probes, over frames: which way the depth buffer runs (where its
// cleared background is), and the u (DepthLayout.h) of the nearest 2%, the
// median and the farthest 2% of the scene's samples. Each frame it plans at
// most k_MaxProbes probes and takes their counts whenever they arrive;
// a scan of the whole range, then trisection of a bracket per target, then
// a watch of two probes around each found value, which scans again when the
// scene moves. What it reports moves only past a dead band and then in
// small steps (at once after a cut), so a still scene settles on identical
// frames and a moving camera changes the layout smoothly.
#pragma once

#include "DepthLayout.h"

// One probe: samples whose u is at least U, in a buffer read as usual or reversed.
struct DepthProbe {
    double U = 0.0;
    bool Reversed = false;
};

class DepthRangeEstimator {
public:
    static constexpr unsigned k_MaxProbes = 8;

    // `leastU`: the smallest u the depth format tells from the cleared background.
    explicit DepthRangeEstimator(double leastU = 1.0 / 16777215.0);

    // Forgets everything (another depth format, or a new activation).
    void Restart(double leastU);

    // The probes to draw now, into `probes`; returns how many. `hint`: the
    // host's depth test, when it tells which way the buffer runs (-1 unknown,
    // 0 as usual, 1 reversed). Neither call allocates: it runs every frame.
    unsigned Plan(int hint, DepthProbe (&probes)[k_MaxProbes]);
    // The counts of the probes Plan gave, in order, out of `samples` probe samples.
    void Take(const DepthProbe* probes, const unsigned long* counts, unsigned count, unsigned long samples);

    bool HasRange() const { return mr_Applied; }
    SceneDepthRange Range() const;
    bool Reversed() const { return mr_Reversed; }
    // Whether the last counts showed a background and a scene.
    bool SawBackground() const { return mr_SawBackground; }
    bool SawScene() const { return mr_SawScene; }
    // How many counts since the last Restart it took until the reported
    // range last moved.
    unsigned SettledAfter() const { return mr_SettledAfter; }

private:
    enum class Mode { Scan, Refine, Watch };
    struct Target {
        double Share;  // of the scene's samples nearer than the value
        Mode State = Mode::Scan;
        double Low = 0.0, High = 0.0;  // ln u bracket
        double Found = 0.0;            // ln u, in Watch
        double Shown = 0.0;            // ln u reported
        bool Moving = false;
        double Estimate() const { return State == Mode::Watch ? Found : 0.5 * (Low + High); }
    };

    void Scan();
    void TakeScan(const double* x, const double* n, double scene);
    void TakeTarget(Target& target, double x1, double n1, double x2, double n2, double scene);
    void UpdateShown();

    double mr_LeastX;  // ln of the least u
    Target mr_Targets[3];
    bool mr_Reversed = false;
    bool mr_OrientationKnown = false;
    bool mr_Applied = false;
    bool mr_SawBackground = false, mr_SawScene = false;
    bool mr_Rescan = false;
    unsigned mr_Takes = 0, mr_SettledAfter = 0;
};
