"""The status listener of a station on air: /metrics, read by the Prometheus
client library's own parser, agrees with the console, and the page that
headless Chromium renders names the source on air once its script has read
/status.json."""

import subprocess
import tempfile
import urllib.error
import urllib.request

from prometheus_client.parser import text_string_to_metric_families

import rig

CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--no-first-run", "--virtual-time-budget=5000"]


def get(port, path, method="GET"):
    request = urllib.request.Request(f"http://127.0.0.1:{port}{path}", method=method)
    try:
        with urllib.request.urlopen(request, timeout=10) as reply:
            return reply.status, reply.read().decode()
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode()


def metrics(port):
    """A function of a sample's name and labels giving its value, from one scrape."""
    status, text = get(port, "/metrics")
    assert status == 200
    samples = [s for family in text_string_to_metric_families(text) for s in family.samples]
    return lambda name, /, **labels: next(s.value for s in samples if s.name == name and s.labels == labels)


def test_metrics_and_the_rendered_page_show_the_source_on_air(icecast, make_station):
    port = rig.free_port()
    icecast.set_title("/two", "Status Artist - First")
    station = make_station(sources={2: {"n": "Rig Status Two", "u": icecast.url("/two")}},
                           schedule=[rig.Today().entry(0, 2)], extra_args=["--status-port", str(port)])
    # The watchdog reports the player slots every 15 s.
    console = station.wait_dump(lambda d: d.get("lblMplayer" + d["CurrentMplayer"]) == d["CurrentMplayer"]
                                and d["RXmetadata"] == "Status Artist - First" and d, 40, "the player seen")
    m = metrics(port)
    slot = int(console["CurrentMplayer"])
    assert m("brackenfield_on_air_source") == int(console["CurrentSource"]) == 2
    assert m("brackenfield_on_air_info", number="2", name="Rig Status Two", url=icecast.url("/two")) == 1
    assert m("brackenfield_player_running", slot=str(slot)) == 1
    assert m("brackenfield_player_running", slot=str(3 - slot)) == 0
    assert m("brackenfield_switches_total", cause="schedule") == 1 and m("brackenfield_failover_active") == 0
    # A player that ended is restarted, as error.log records.
    assert m("brackenfield_player_restarts_total") == len((station.folder.read("error.log") or b"").splitlines())
    # A title has come since the start; the dump is a little older than the scrape.
    assert m("brackenfield_seconds_since_title_change") < m("brackenfield_uptime_seconds")
    assert m("brackenfield_uptime_seconds") >= int(console["SystemRuntime"])
    assert get(port, "/metrics", "POST")[0] == 405

    with tempfile.TemporaryDirectory() as profile:
        dom = subprocess.run(CHROMIUM + [f"--user-data-dir={profile}", "--dump-dom", f"http://127.0.0.1:{port}/"],
                             capture_output=True, text=True, timeout=120, check=True).stdout
    # Only the script fills this line.
    assert '<p id="live">Live: Rig Status Two on air at ' in dom
