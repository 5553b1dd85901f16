"""The integration test rig: real Icecast servers fed by ffmpeg tone streams, stand-in HTTP services, station folders
and the real program, and the players watched and killed by name."""

from .browser import Browser
from .encoder import SerialEncoder, TcpEncoder
from .icecast import IcecastServer
from .standin import ENDLESS_HEADER, FLOOD, ICY, RELAY, StreamStandIn
from .local import StubServer, free_port, port_answers, wait_for
from .processes import (PLAYER_NAMES, is_running, kill_by_name, kill_players, live_pids_by_name, pids_by_name,
                        players_lock, stop_all)
from .station import (Station, StationFolder, Today, air_messages, entry, player_log_has, playing, remove_tree,
                      summarise)
