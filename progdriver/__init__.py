"""The program driver: runs the suite's unmodified programs on a virtual X
server (xserver), starts them with preloaded watchers, at a fixed time or
under apitrace, finds and places their windows, drives keys, mouse and
pop-up menus as a user does, and reads back their pictures, frame counts,
output, exit status and GL calls (programs, menus, images, traces). Where
the programs, libraries and X server are is passed in as a Driver."""
