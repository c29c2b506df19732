# The schedule end to end: the real quillbrook-agentctl against a fake systemctl, and
# systemd-analyze on its units and calendars; the tool's reading of documents; the command lines
# (LaunchMode and CommandLine live in quillbrook_app).
quillbrook_add_test(NAME tst_agentctl SOURCES tst_agentctl.cpp
    LIBS quillbrook_agent quillbrook_agentctl quillbrook_app)
add_dependencies(tst_agentctl quillbrook-agentctl quillbrook)
