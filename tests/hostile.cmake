# The headless test kills the built executable at random moments, round after round.
set_tests_properties(tst_headless PROPERTIES TIMEOUT 300)
