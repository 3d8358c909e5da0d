// Solves one ovralis document with ovralis and with libslvs (an independent
// solver, used through its public header slvs.h), interleaved round by round,
// and prints one line of figures: unknowns, the median time of each, whether
// each converged, and the largest distance between the two answers.
//
// Usage: slvs_peer DOCUMENT [--rounds N] [--budget-ms T] [--solved OUT] [--peer-solved OUT]
//        slvs_peer DOCUMENT --spacing
//
// --solved and --peer-solved write each answer as an ovralis document, so a
// checker can judge both by geometry. Rounds stop after N, or once the two
// solvers together have spent T ms. --spacing times the all-pairs mean point spacing alone.

#include <cstring>  // slvs.h's inline helpers call memset without including it

#include <slvs.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "solver/normalisation.hpp"
#include "solver/solve.hpp"
#include "system/document.hpp"

namespace {

using namespace ovralis;

// Parameters in the fixed group are constants; those in the solved group are unknowns.
constexpr Slvs_hGroup kFixedGroup = 1;
constexpr Slvs_hGroup kSolvedGroup = 2;

// The equivalent libslvs sketch, and where each ovralis entity lives in it.
// Handles are positions plus one: libslvs reserves 0.
struct PeerSketch {
    std::vector<Slvs_Param> params;
    std::vector<Slvs_Entity> entities;
    std::vector<Slvs_Constraint> constraints;
    Slvs_hEntity workplane = 0;
    Slvs_hEntity normal = 0;
    std::vector<Slvs_hEntity> point_entity, line_entity, circle_entity, arc_entity;
    std::vector<std::size_t> point_param;          // u of point i; v follows
    std::vector<std::size_t> circle_radius_param;  // a circle's radius is a distance entity
    std::string unsupported;                       // the first kind with no translation here
};

Slvs_hParam add_param(PeerSketch& peer, double value, bool solved) {
    const auto handle = static_cast<Slvs_hParam>(peer.params.size() + 1);
    peer.params.push_back(Slvs_MakeParam(handle, solved ? kSolvedGroup : kFixedGroup, value));
    return handle;
}

Slvs_hEntity add_entity(PeerSketch& peer, Slvs_Entity entity) {
    entity.h = static_cast<Slvs_hEntity>(peer.entities.size() + 1);
    peer.entities.push_back(entity);
    return entity.h;
}

Slvs_hEntity add_point(PeerSketch& peer, double x, double y, bool solved) {
    const Slvs_hParam u = add_param(peer, x, solved);
    const Slvs_hParam v = add_param(peer, y, solved);
    return add_entity(peer, Slvs_MakePoint2d(0, kSolvedGroup, peer.workplane, u, v));
}

Slvs_hEntity add_segment(PeerSketch& peer, Slvs_hEntity a, Slvs_hEntity b) {
    return add_entity(peer, Slvs_MakeLineSegment(0, kSolvedGroup, peer.workplane, a, b));
}

void add_constraint(PeerSketch& peer, int type, double value, Slvs_hEntity point_a,
                    Slvs_hEntity point_b, Slvs_hEntity entity_a, Slvs_hEntity entity_b,
                    int other = 0) {
    const auto handle = static_cast<Slvs_hConstraint>(peer.constraints.size() + 1);
    Slvs_Constraint c = Slvs_MakeConstraint(handle, kSolvedGroup, type, peer.workplane, value,
                                            point_a, point_b, entity_a, entity_b);
    c.other = other;
    peer.constraints.push_back(c);
}

// The xy workplane through the origin, in the fixed group.
void add_workplane(PeerSketch& peer) {
    const Slvs_hParam x = add_param(peer, 0, false), y = add_param(peer, 0, false),
                      z = add_param(peer, 0, false);
    const Slvs_hEntity origin = add_entity(peer, Slvs_MakePoint3d(0, kFixedGroup, x, y, z));
    double qw, qx, qy, qz;
    Slvs_MakeQuaternion(1, 0, 0, 0, 1, 0, &qw, &qx, &qy, &qz);
    peer.normal =
        add_entity(peer, Slvs_MakeNormal3d(0, kFixedGroup, add_param(peer, qw, false),
                                           add_param(peer, qx, false), add_param(peer, qy, false),
                                           add_param(peer, qz, false)));
    peer.workplane = add_entity(peer, Slvs_MakeWorkplane(0, kFixedGroup, origin, peer.normal));
}

// libslvs has no circle-to-circle tangency; a contact point on both circles
// and on the line of centres says the same (external or internal).
void add_circle_tangency(PeerSketch& peer, const System& system, const Constraint& c) {
    const Circle& first = system.circles[c.index[0]];
    const Circle& second = system.circles[c.index[1]];
    const Point& p = system.points[first.center];
    const Point& q = system.points[second.center];
    const double apart = std::max(std::hypot(q.x - p.x, q.y - p.y), 1e-300);
    const double reach = first.radius / apart;
    const Slvs_hEntity contact =
        add_point(peer, p.x + (q.x - p.x) * reach, p.y + (q.y - p.y) * reach, true);
    const Slvs_hEntity centres =
        add_segment(peer, peer.point_entity[first.center], peer.point_entity[second.center]);
    add_constraint(peer, SLVS_C_PT_ON_CIRCLE, 0, contact, 0, peer.circle_entity[c.index[0]], 0);
    add_constraint(peer, SLVS_C_PT_ON_CIRCLE, 0, contact, 0, peer.circle_entity[c.index[1]], 0);
    add_constraint(peer, SLVS_C_PT_ON_LINE, 0, contact, 0, centres, 0);
}

// libslvs measures a point's distance from a line with a sign, positive on
// the right of the line's direction; ovralis squares it, so the side is the
// one the point starts on.
double signed_line_distance(const System& system, Index point, Index line, double d) {
    const Point& a = system.points[system.lines[line].p1];
    const Point& b = system.points[system.lines[line].p2];
    const Point& p = system.points[point];
    const double side = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
    return side < 0 ? std::abs(d) : -std::abs(d);
}

void translate_constraint(PeerSketch& peer, const System& system, const Constraint& c) {
    const auto point = [&](int slot) { return peer.point_entity[c.index[slot]]; };
    const auto line = [&](int slot) { return peer.line_entity[c.index[slot]]; };
    switch (c.kind) {
        case ConstraintKind::Distance:
            add_constraint(peer, SLVS_C_PT_PT_DISTANCE, c.value[0], point(0), point(1), 0, 0);
            return;
        case ConstraintKind::Horizontal:
            add_constraint(peer, SLVS_C_HORIZONTAL, 0, 0, 0, add_segment(peer, point(0), point(1)),
                           0);
            return;
        case ConstraintKind::Vertical:
            add_constraint(peer, SLVS_C_VERTICAL, 0, 0, 0, add_segment(peer, point(0), point(1)),
                           0);
            return;
        case ConstraintKind::Angle:
            add_constraint(peer, SLVS_C_ANGLE, c.value[0], 0, 0, line(0), line(1));
            return;
        case ConstraintKind::CircleCircleTangent: add_circle_tangency(peer, system, c); return;
        case ConstraintKind::CircleRadius:
            add_constraint(peer, SLVS_C_DIAMETER, 2 * c.value[0], 0, 0,
                           peer.circle_entity[c.index[0]], 0);
            return;
        case ConstraintKind::ArcRadius:
            add_constraint(peer, SLVS_C_DIAMETER, 2 * c.value[0], 0, 0, peer.arc_entity[c.index[0]],
                           0);
            return;
        case ConstraintKind::PointLineDistance:
            add_constraint(peer, SLVS_C_PT_LINE_DISTANCE,
                           signed_line_distance(system, c.index[0], c.index[1], c.value[0]),
                           point(0), 0, line(1), 0);
            return;
        case ConstraintKind::PointOnArc: {
            // A libslvs arc's own start and end lie on it by construction.
            const Arc& arc = system.arcs[c.index[1]];
            if (c.index[0] != arc.start && c.index[0] != arc.end) {
                add_constraint(peer, SLVS_C_PT_ON_CIRCLE, 0, point(0), 0,
                               peer.arc_entity[c.index[1]], 0);
            }
            return;
        }
        case ConstraintKind::LineArcStartTangent:
        case ConstraintKind::LineArcEndTangent:
            add_constraint(peer, SLVS_C_ARC_LINE_TANGENT, 0, 0, 0, peer.arc_entity[c.index[1]],
                           line(0), c.kind == ConstraintKind::LineArcEndTangent ? 1 : 0);
            return;
        case ConstraintKind::Coincident:
        case ConstraintKind::PointOnLine:
        case ConstraintKind::Parallel:
        case ConstraintKind::Perpendicular:
        case ConstraintKind::EqualLength:
        case ConstraintKind::FixedPoint:
        case ConstraintKind::PointOnCircle:
        case ConstraintKind::LineCircleTangent:
        case ConstraintKind::CircleCircleTangentInternal:
        case ConstraintKind::AngleBetweenPoints:
        case ConstraintKind::Midpoint:
        case ConstraintKind::EqualRadius:
        case ConstraintKind::Concentric:
        case ConstraintKind::Symmetry:
        case ConstraintKind::LineLineIntersection:
        case ConstraintKind::PointOnLineAt:
        case ConstraintKind::LineArcTangent:
        case ConstraintKind::ArcArcTangent:
        case ConstraintKind::ArcArcTangentInternal:
        case ConstraintKind::ArcCircleTangent:
        case ConstraintKind::ArcCircleTangentInternal:
        case ConstraintKind::ArcSweepAngle:
        case ConstraintKind::PointOnEllipse:
        case ConstraintKind::EllipseTangentLine:
        case ConstraintKind::EqualMajorAxes:
        case ConstraintKind::EqualMinorAxes:
        case ConstraintKind::PointOnArcOfEllipse:
        case ConstraintKind::EllipseRadmin:
        case ConstraintKind::C2CDistance:
        case ConstraintKind::P2CDistance:
        case ConstraintKind::ArcLength:
        case ConstraintKind::EqualLineLength:
        case ConstraintKind::EllipseFocusDistance:
            if (peer.unsupported.empty()) peer.unsupported = std::string(kind_name(c));
            return;
    }
}

// The libslvs sketch of the kinds the benchmark families use, in a workplane.
PeerSketch translate(const System& system) {
    PeerSketch peer;
    add_workplane(peer);
    for (const Point& p : system.points) {
        peer.point_param.push_back(peer.params.size());
        peer.point_entity.push_back(add_point(peer, p.x, p.y, !p.fixed));
    }
    for (const Line& l : system.lines) {
        peer.line_entity.push_back(
            add_segment(peer, peer.point_entity[l.p1], peer.point_entity[l.p2]));
    }
    for (const Circle& c : system.circles) {
        peer.circle_radius_param.push_back(peer.params.size());
        const Slvs_hEntity radius =
            add_entity(peer, Slvs_MakeDistance(0, kSolvedGroup, peer.workplane,
                                               add_param(peer, c.radius, !c.fixed)));
        peer.circle_entity.push_back(
            add_entity(peer, Slvs_MakeCircle(0, kSolvedGroup, peer.workplane,
                                             peer.point_entity[c.center], peer.normal, radius)));
    }
    for (const Arc& a : system.arcs) {
        peer.arc_entity.push_back(add_entity(
            peer, Slvs_MakeArcOfCircle(0, kSolvedGroup, peer.workplane, peer.normal,
                                       peer.point_entity[a.center], peer.point_entity[a.start],
                                       peer.point_entity[a.end])));
    }
    for (const Constraint& c : system.constraints) translate_constraint(peer, system, c);
    return peer;
}

// Runs libslvs on a copy of the parameters; returns the result code and leaves the answer in `params`.
int solve_peer(const PeerSketch& peer, std::vector<Slvs_Param>& params) {
    params = peer.params;
    std::vector<Slvs_Constraint> constraints = peer.constraints;
    std::vector<Slvs_Entity> entities = peer.entities;
    std::vector<Slvs_hConstraint> failed(constraints.size() + 1);
    Slvs_System sys{};
    sys.param = params.data();
    sys.params = static_cast<int>(params.size());
    sys.entity = entities.data();
    sys.entities = static_cast<int>(entities.size());
    sys.constraint = constraints.data();
    sys.constraints = static_cast<int>(constraints.size());
    sys.failed = failed.data();
    sys.faileds = static_cast<int>(failed.size());
    sys.calculateFaileds = 0;
    Slvs_Solve(&sys, kSolvedGroup);
    return sys.result;
}

// The libslvs answer written into a copy of the ovralis store.
System peer_answer(const System& start, const PeerSketch& peer,
                   const std::vector<Slvs_Param>& params) {
    System answer = start;
    for (std::size_t i = 0; i < answer.points.size(); ++i) {
        answer.points[i].x = params[peer.point_param[i]].val;
        answer.points[i].y = params[peer.point_param[i] + 1].val;
    }
    for (std::size_t i = 0; i < answer.circles.size(); ++i) {
        answer.circles[i].radius = params[peer.circle_radius_param[i]].val;
    }
    for (Arc& arc :
         answer.arcs) {  // a libslvs arc's radius is its start's distance from its centre
        const Point& c = answer.points[arc.center];
        const Point& s = answer.points[arc.start];
        arc.radius = std::hypot(s.x - c.x, s.y - c.y);
    }
    return answer;
}

double largest_point_distance(const System& a, const System& b) {
    double largest = 0.0;
    for (std::size_t i = 0; i < a.points.size(); ++i) {
        largest = std::max(
            largest, std::hypot(a.points[i].x - b.points[i].x, a.points[i].y - b.points[i].y));
    }
    return largest;
}

std::size_t unknowns(const System& system) {
    std::size_t count = 0;
    for (const Point& p : system.points) count += p.fixed ? 0 : 2;
    for (const Circle& c : system.circles) count += c.fixed ? 0 : 1;
    for (const Arc& a : system.arcs) count += a.fixed ? 0 : 1;
    return count;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work>
double milliseconds(Work&& work) {
    const auto began = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began)
        .count();
}

void write_file(const std::string& path, const std::string& text) {
    if (!path.empty()) std::ofstream(path) << text;
}

struct Options {
    std::string document;
    int rounds = 7;
    double budget_ms = 3000;
    std::string solved, peer_solved;
    bool spacing = false;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--rounds" && has_value) {
            options.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--budget-ms" && has_value) {
            options.budget_ms = std::atof(argv[++i]);
        } else if (arg == "--solved" && has_value) {
            options.solved = argv[++i];
        } else if (arg == "--peer-solved" && has_value) {
            options.peer_solved = argv[++i];
        } else if (arg == "--spacing") {
            options.spacing = true;
        } else if (options.document.empty() && arg.rfind("--", 0) != 0) {
            options.document = arg;
        } else {
            std::fprintf(stderr, "slvs_peer: unexpected argument %s\n", arg.c_str());
            std::exit(2);
        }
    }
    if (options.document.empty()) {
        std::fprintf(stderr,
                     "usage: slvs_peer DOCUMENT [--rounds N] [--budget-ms T] [--solved OUT] "
                     "[--peer-solved OUT] | DOCUMENT --spacing\n");
        std::exit(2);
    }
    return options;
}

std::string stem_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.substr(0, name.find('.'));
}

int time_spacing(const std::string& name, const System& system) {
    std::vector<double> times;
    double spacing = 0.0;
    for (int run = 0; run < 3; ++run) {
        times.push_back(milliseconds([&] { spacing = mean_point_spacing(system); }));
    }
    std::printf("%s points=%zu spacing_ms=%.3f spacing=%.6g\n", name.c_str(), system.points.size(),
                median(times), spacing);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    std::stringstream text;
    text << std::ifstream(options.document).rdbuf();
    System start = from_json(text.str());
    // A store read from a document differentiates numerically; the module's
    // System() and the add methods give the analytic Jacobian, as here.
    start.analytic_jacobian = true;
    const std::string name = stem_of(options.document);
    if (options.spacing) return time_spacing(name, start);

    const PeerSketch peer = translate(start);
    std::vector<double> ovralis_times, peer_times;
    System ovralis_answer;
    SolveResult result;
    std::vector<Slvs_Param> peer_params;
    int peer_result = SLVS_RESULT_DIDNT_CONVERGE;
    double spent = 0.0;
    for (int round = 0; round < options.rounds && spent < options.budget_ms; ++round) {
        ovralis_answer = start;
        ovralis_times.push_back(milliseconds([&] { result = solve(ovralis_answer, 200, 1e-8); }));
        spent += ovralis_times.back();
        if (peer.unsupported.empty()) {
            peer_times.push_back(
                milliseconds([&] { peer_result = solve_peer(peer, peer_params); }));
            spent += peer_times.back();
        }
    }
    write_file(options.solved, to_json(ovralis_answer));

    std::string peer_ms = "unsupported:" + peer.unsupported;
    double apart = NAN;
    if (peer.unsupported.empty() && peer_result == SLVS_RESULT_TOO_MANY_UNKNOWNS) {
        peer_ms = "refused";
    } else if (peer.unsupported.empty()) {
        char figure[32];
        std::snprintf(figure, sizeof figure, "%.3f", median(peer_times));
        peer_ms = figure;
        const System answer = peer_answer(start, peer, peer_params);
        apart = largest_point_distance(ovralis_answer, answer);
        write_file(options.peer_solved, to_json(answer));
    }
    std::printf(
        "%s unknowns=%zu ovralis_ms=%.3f libslvs_ms=%s ovralis_converged=%d "
        "libslvs_converged=%d apart=%.3g rounds=%zu\n",
        name.c_str(), unknowns(start), median(ovralis_times), peer_ms.c_str(),
        result.converged ? 1 : 0, peer_result == SLVS_RESULT_OKAY ? 1 : 0, apart,
        ovralis_times.size());
    return 0;
}
