"""The outside services of a running station, against local stand-ins: a
title change reaches TuneIn AIR with its query whole, a paid title reaches the
billing server once with its stamp, a report the server refused reaches it
after a restart of the program, and the weather sentence takes metaextra.txt
in the second half of the console's 121-second count."""

import re
import time

import rig

MOUNT = "/one"
WEATHER = ('{"coord":{"lon":-0.13,"lat":51.51},"main":{"temp":283.9,"feels_like":282.1,"pressure":1012,'
           '"humidity":81},"name":"London","cod":200}')
SENTENCE = b"The temperature in London is 10 degrees. Air pressure is 1012.\r\n"
# A metadata tick, then the service's tick, with room for a busy machine.
SERVICE_WAIT = 15.0


def requests_with(stub, part):
    return [p for p in stub.paths() if part in p]


def wait_requests(stub, part, count, what):
    return rig.wait_for(lambda: len(requests_with(stub, part)) >= count and requests_with(stub, part),
                        SERVICE_WAIT, what)


def test_titles_reach_air_and_billing_and_the_weather_takes_the_extra_line(icecast, make_station):
    air, billing, weather = rig.StubServer(), rig.StubServer(), rig.StubServer(body=WEATHER)
    try:
        today = rig.Today(span=240)
        icecast.set_title(MOUNT, "Rig Services - Start")
        station = make_station(
            settings={"AIRenable": "1", "Tallyway": "1", "MetaURL": billing.url + "/bill",
                      "MetaWeather": "1"},
            sources={1: {"n": "Rig One", "u": icecast.url(MOUNT)}},
            schedule=[today.entry(0, 1)], air_url=air.url, weather_url=weather.url)
        wait_requests(air, "&artist=Rig%20Services&", 1, "the first title at AIR")

        # Artist and title arrive whole, however many & # + and blanks they hold.
        icecast.set_title(MOUNT, "Smith & Sons - Sale #1 + 2")
        sent = wait_requests(air, "&title=Sale%20%231%20%2B%202&", 1, "the new title at AIR")
        assert sent == ["/Playing.ashx?partnerId=rigpartner&partnerKey=rigpartnerkey&id=s000000"
                        "&title=Sale%20%231%20%2B%202&artist=Smith%20%26%20Sons&commercial=false"]

        # A paid title: one report, carrying the stamp of tallyway.txt.
        paid = "$ Acme & Co - Spring Sale"
        icecast.set_title(MOUNT, paid)
        first = wait_requests(billing, "/bill?", 1, "the paid title's report")
        stamp = station.folder.read("tallyway.txt").split(b"\r\n")[0].decode()
        assert first == [f"/bill?key=rigapikey&stamp={stamp}&artist=Acme%20%26%20Co&title=Spring%20Sale"]
        assert station.wait_dump(lambda d: d.get("lblResponse") == "OK", 5, "the answer on the console")

        # The server fails; the same title airs again after another one.
        billing.reply = lambda path: (503, b"down")
        icecast.set_title(MOUNT, "Between - Songs")
        station.wait_dump(lambda d: d.get("RXmetadata") == "Between - Songs", SERVICE_WAIT, "the song between")
        icecast.set_title(MOUNT, paid)
        refused = wait_requests(billing, "/bill?", 2, "the second airing's report")[1]
        assert stamp not in refused and refused.endswith("&artist=Acme%20%26%20Co&title=Spring%20Sale")
        assert station.folder.read("tallyway-pending.txt") is not None
        assert len(requests_with(billing, "/bill?")) == 2, "the first report is not sent again"

        # The program restarts while the report is unanswered; the server is back.
        icecast.set_title(MOUNT, "After - Ads")
        station.wait_dump(lambda d: d.get("RXmetadata") == "After - Ads", SERVICE_WAIT, "the next song")
        station.kill()
        billing.reply = None
        already, fetched = len(billing.requests), len(weather.requests)
        started = time.time()
        station.start()
        rig.wait_for(lambda: len(billing.requests) > already, SERVICE_WAIT, "the kept report after the restart")
        rig.wait_for(lambda: station.folder.read("tallyway-pending.txt") is None, 5, "the pending file to go")
        assert billing.paths()[already:] == [refused]

        # The weather: fetched once at start, in metaextra.txt from the 61st second on.
        rig.wait_for(lambda: station.folder.read("metaextra.txt") == b"After - Ads\r\n", SERVICE_WAIT,
                     "the song in the extra line first")
        rig.wait_for(lambda: station.folder.read("metaextra.txt") == SENTENCE, 90, "the weather sentence")
        assert time.time() - started > 60
        assert weather.paths()[fetched:] == ["/data/2.5/weather?q=Brackenfield,GB&APPID=rigweatherkey"]
        assert billing.paths()[already:] == [refused], "nothing billed twice"
        assert re.fullmatch(r"NEXT WEATHER: 2\d mins", station.dump()["lblWeather"])
    finally:
        for stub in (air, billing, weather):
            stub.close()
