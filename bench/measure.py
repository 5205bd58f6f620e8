#!/usr/bin/env python3
"""Measures the programs next to the floor and prints the performance table.

Runs inside a private IPC namespace (bench/run.sh starts it with unshare --ipc), with the
receiver stand-in holding its default configuration and replaying a multi-system log (so that
gnssreport lists some forty satellites)."""
import json
import os
import re
import signal
import socket
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-release")
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def staged_installation():
    """The programs, the library and the dependency floor as installed on a receiver: no
    RUNPATH (a build tree's programs carry one, padded by CMake with an empty entry that makes
    the loader search the working directory too)."""
    stage = os.path.join(BUILD, "bench-stage")
    subprocess.run(["rm", "-rf", stage], check=True)
    for component in ("runtime", "web", "bench"):
        subprocess.run(["cmake", "--install", BUILD, "--prefix", "/usr", "--component", component],
                       env=dict(os.environ, DESTDIR=stage), check=True, stdout=subprocess.DEVNULL)
    libdir = os.path.dirname(subprocess.run(["find", stage, "-name", "libgrshm.so.1"], capture_output=True,
                                            text=True, check=True).stdout.split()[0])
    return stage, libdir


STAGE, STAGE_LIBDIR = staged_installation()
LINKREPORT = f"{STAGE}/usr/lib/cgi-bin/linkreport"
ROLEKIND = f"{STAGE}/usr/lib/cgi-bin/rolekind"
GNSSREPORT = f"{STAGE}/usr/lib/cgi-bin/gnssreport"
PROGRAMS = (("linkreport", LINKREPORT), ("rolekind status report", ROLEKIND), ("gnssreport", GNSSREPORT))
FLOOR = f"{BUILD}/bench/floor"
DEPENDENCY_FLOOR = f"{STAGE_LIBDIR}/grshm-bench/dependency_floor"
OWN_OBJECTS = (LINKREPORT, ROLEKIND, GNSSREPORT, "libgrshm.so")
LOG = os.path.join(os.path.dirname(ROOT), "shared", "nmea", "ublox-zed-f9p-nmea.log")
ENV = dict(os.environ, REQUEST_METHOD="GET", QUERY_STRING="{}", LD_LIBRARY_PATH=STAGE_LIBDIR)
RUNS = int(os.environ.get("BENCH_RUNS", "2000"))


def reply_size(program):
    out = subprocess.run([program], env=ENV, capture_output=True, check=True).stdout
    return len(out.split(b"\n\n", 1)[1])


def side_by_side(commands):
    """Median wall time and mean CPU time of each command, in milliseconds, the commands run in
    turn (one run of each, RUNS rounds after 200 warm-up rounds): a noisy moment of the machine
    falls on all of them alike."""
    args = [f"{BUILD}/bench/side_by_side", str(RUNS), "200"]
    for i, command in enumerate(commands):
        args += (["--"] if i else []) + command.split()
    out = subprocess.run(args, env=ENV, capture_output=True, text=True, check=True).stdout
    return [tuple(float(x) for x in line.split()) for line in out.splitlines()]


def reads_in_turn(reads, rounds=300):
    """Median wall time in milliseconds of each (program, request body), posted as the web server
    does, the programs run in turn (after 20 warm-up rounds). Timed from here, so each figure
    also holds the same start-up cost of a child process: compare them with each other."""
    times = [[] for _ in reads]
    for round_ in range(rounds + 20):
        for i, (program, body) in enumerate(reads):
            env = dict(ENV, REQUEST_METHOD="POST", CONTENT_LENGTH=str(len(body)))
            start = time.perf_counter()
            subprocess.run([program], input=body.encode(), env=env, stdout=subprocess.DEVNULL, check=True)
            if round_ >= 20:
                times[i].append(1000 * (time.perf_counter() - start))
    return [sorted(t)[len(t) // 2] for t in times]


def instructions(command):
    with tempfile.TemporaryDirectory() as work:
        out = f"{work}/callgrind.out"
        subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", *command], env=ENV,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        text = subprocess.run(["callgrind_annotate", "--threshold=100", out], capture_output=True, text=True).stdout
    total = int(re.search(r"([\d,]+) \(100.0%\)\s+PROGRAM TOTALS", text).group(1).replace(",", ""))
    own = 0
    for line in text.splitlines():
        match = re.match(r"\s*([\d,]+) \(\s*[\d.]+%\)\s+\S.*\[(.*)\]\s*$", line)
        if match and any(name in match.group(2) for name in OWN_OBJECTS):
            own += int(match.group(1).replace(",", ""))
    return total, own


def library_benchmarks():
    out = subprocess.run([f"{BUILD}/bench/library_bench", "--benchmark_format=json", "--benchmark_min_time=0.3",
                          "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"],
                         capture_output=True, text=True, check=True).stdout
    medians = {b["run_name"]: b["real_time"] for b in json.loads(out)["benchmarks"] if b["aggregate_name"] == "median"}
    rows = []
    for name, ns in medians.items():
        if name.startswith("library/"):
            case = name[len("library/"):]
            rows.append((case, ns, medians[f"floor/{case}"]))
    return rows


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def requests_per_second(port, path, headers=()):
    extra = [word for header in headers for word in ("-H", header)]
    out = subprocess.run(["wrk", "-t2", "-c8", "-d5s", *extra, f"http://127.0.0.1:{port}{path}"],
                         capture_output=True, text=True, check=True).stdout
    return float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))


def session_cookie(state):
    """A viewer's session in the state folder, made as the web server would: the console tool,
    then the login program."""
    password = "bench-glance-6Rt"
    subprocess.run([f"{BUILD}/tools/grshm-user/grshm-user", "--dir", state, "add", "survey", "--role", "viewer"],
                   input=password + "\n", text=True, check=True, stdout=subprocess.DEVNULL)
    body = '{"User":"survey","Password":"%s"}' % password
    out = subprocess.run([f"{BUILD}/login/login"], input=body, capture_output=True, text=True, check=True,
                         env={"GATEWAY_INTERFACE": "CGI/1.1", "REQUEST_METHOD": "POST",
                              "CONTENT_LENGTH": str(len(body)), "GRSHM_STATE_DIR": state}).stdout
    return "Cookie: grshm_session=" + re.search(r"grshm_session=([0-9a-f]{32});", out).group(1)


def main():
    replay = ["--nmea", LOG] if os.path.exists(LOG) else []
    stand_in = subprocess.Popen([f"{BUILD}/tools/receiversim/receiversim", "--defaults", *replay],
                                stderr=subprocess.DEVNULL)
    time.sleep(2.5)  # the replay's first ticks fill the satellite slots
    try:
        sizes = [reply_size(program) for _, program in PROGRAMS]
        commands = []
        for (_, program), size in zip(PROGRAMS, sizes):
            commands += [program, f"{DEPENDENCY_FLOOR} {size}", f"{FLOOR} {size}"]
        timing = side_by_side(commands)
        counts = [instructions(command.split()) for command in commands]
        library = library_benchmarks()
        group_reads = reads_in_turn([(f"{STAGE}/usr/lib/cgi-bin/linkconfig", '{"TransID":5}'),
                                     (f"{STAGE}/usr/lib/cgi-bin/settings", '{"Group":"tracking"}')])
        busy_cpu, request_cpu = (float(x) for x in subprocess.run([f"{BUILD}/bench/busy_wait", ROLEKIND],
                                                                   capture_output=True, text=True, env=ENV,
                                                                   check=True).stdout.split())
    finally:
        stand_in.send_signal(signal.SIGTERM)
        stand_in.wait()

    # Throughput of the CGI path alone, program against floor: a plain lighttpd without the
    # interface's access rules (which allow only its programs); linkreport with a session, and
    # built without the session check.
    port = free_port()
    config = os.path.join(BUILD, "bench", "lighttpd-bench.conf")
    state = os.path.join(BUILD, "bench", "state")
    subprocess.run(["rm", "-rf", state], check=True)
    cookie = session_cookie(state)
    with open(config, "w") as out:
        out.write(f'server.modules = ("mod_alias", "mod_cgi", "mod_setenv")\nserver.bind = "127.0.0.1"\n'
                  f'server.port = {port}\nserver.document-root = "{BUILD}/www"\n'
                  f'alias.url = ("/cgi-bin/" => "{BUILD}/www/cgi-bin/")\ncgi.assign = ("" => "")\n'
                  f'setenv.add-environment = ("GRSHM_STATE_DIR" => "{state}")\n')
    server = subprocess.Popen(["lighttpd", "-D", "-f", config], stderr=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, start_new_session=True)
    try:
        for _ in range(200):
            try:
                socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
                break
            except OSError:
                time.sleep(0.05)
        rps_program = requests_per_second(port, "/cgi-bin/linkreport", [cookie])
        rps_without = requests_per_second(port, "/cgi-bin/linkreport_without_sessions")
        rps_floor = requests_per_second(port, f"/cgi-bin/floor?{sizes[0]}")
    finally:
        os.killpg(server.pid, signal.SIGTERM)
        server.wait()

    print("## Per request (median wall time of %d runs, mean CPU time; all commands run in turn)\n" % RUNS)
    print("The dependency floor loads json-c and libgrshm, parses the request, attaches the segments and prints as "
          "many bytes; the plain floor only starts and prints.\n")
    print("| program | reply bytes | wall ms | dependency floor ms | ratio | plain floor ms | ratio | CPU ms | "
          "instructions | dependency floor instructions | own code |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for i, (label, _) in enumerate(PROGRAMS):
        (wall, cpu), (dwall, _), (fwall, _) = timing[3 * i:3 * i + 3]
        (ins, own), (dins, _) = counts[3 * i], counts[3 * i + 1]
        print(f"| {label} | {sizes[i]} | {wall:.3f} | {dwall:.3f} | {wall / dwall:.2f} | {fwall:.3f} | "
              f"{wall / fwall:.2f} | {cpu:.3f} | {ins:,} | {dins:,} | {100.0 * own / ins:.1f}% |")
    print("\n## A settings group read next to a channel read (median wall ms, run in turn, with the start of a child)\n")
    print("| linkconfig {\"TransID\":5} | settings {\"Group\":\"tracking\"} | ratio |")
    print("|---|---|---|")
    print(f"| {group_reads[0]:.3f} | {group_reads[1]:.3f} | {group_reads[1] / group_reads[0]:.2f} |")
    print("\n## Library entry access (median ns per Get, next to P + memcpy + V by hand)\n")
    print("| entry | library ns | floor ns | ratio |")
    print("|---|---|---|---|")
    for case, ns, floor_ns in library:
        print(f"| {case} | {ns:.1f} | {floor_ns:.1f} | {ns / floor_ns:.2f} |")
    print("\n## Waiting and throughput\n")
    print(f"- CPU time a rolekind request spends waiting while the mailbox stays busy for 1 s: {busy_cpu * 1000:.1f} ms "
          f"({busy_cpu * 100:.2f}% of a CPU; the request itself, mailbox free: {request_cpu * 1000:.1f} ms)")
    print(f"- Requests per second through lighttpd (wrk, 2 threads, 8 connections, 5 s): linkreport "
          f"{rps_program:.0f}, floor {rps_floor:.0f} (ratio {rps_floor / rps_program:.2f})")
    print(f"- linkreport with its session checked (a viewer's cookie) beside the same built without the check: "
          f"{rps_program:.0f} and {rps_without:.0f} requests per second (ratio {rps_without / rps_program:.2f}, "
          f"at most 1.10)")


if __name__ == "__main__":
    main()
