quillbrook_add_test(NAME tst_agentplist SOURCES tst_agentplist.cpp)
quillbrook_add_test(NAME tst_agentplistreader SOURCES tst_agentplistreader.cpp)
quillbrook_add_test(NAME tst_agentjob SOURCES tst_agentjob.cpp)
quillbrook_add_test(NAME tst_agentinstaller SOURCES tst_agentinstaller.cpp)
# Runs the real quillbrook-agentctl against a fake systemctl, and systemd-analyze on its units.
quillbrook_add_test(NAME tst_agentctl SOURCES tst_agentctl.cpp)
add_dependencies(tst_agentctl quillbrook-agentctl)
