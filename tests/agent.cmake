# The schedule end to end (the real quillbrook-agentctl, a fake systemctl, systemd-analyze), and
# the reading of documents; both programs' command lines.
quillbrook_add_test(NAME tst_agentctl SOURCES tst_agentctl.cpp
    LIBS quillbrook_agent quillbrook_agentctl)
add_dependencies(tst_agentctl quillbrook-agentctl quillbrook)
