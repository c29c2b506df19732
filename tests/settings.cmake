quillbrook_add_test(NAME tst_appsettings SOURCES tst_appsettings.cpp ENVIRONMENT TZ=UTC)
quillbrook_add_test(NAME tst_loginitem SOURCES tst_loginitem.cpp)
quillbrook_add_test(NAME tst_log SOURCES tst_log.cpp)
