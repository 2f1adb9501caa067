#include "WindowFixture.h"

#include "app/InterfaceController.h"
#include "platform/AppTitle.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTest>

namespace {

// What each interface-language command must show, written out here
// independently of the program's own table. Columns: English, French,
// Spanish, German, Italian, Portuguese, Japanese, Chinese.
const struct
{
    const char* control;
    const char* text[8];
} Expected[] = {
    // clang-format off
    {"Tools1", {"T&ools", "&Utilitaires", "&Utillajes", "&Werkzeugs", "T&ools", "T&ools", "工具", "工具(&O)"}},
    {"N1", {"&File", "&Fichier", "&Archivo", "&Datei", "&Archivio", "&Arquivo", "ファイル", "文件(&F)"}},
    {"Opensourcefile1", {"&Open Source Document ...", "&Ouvrir ...", "&Abrir ...", "Öff&nen ...", "&Aprire Il Documento Di Sorgente ...", "&Abrir ...", "原書類を開けなさい ...", "打开源文件(&O)..."}},
    {"Open1", {"&Save Translated Document ...", "&Enregistrer ...", "&Guardar ...", "&Speichern ...", "&Documento Tradotto Risparmio ...", "&Salvar ...", "保存は文書を翻訳した ...", "保存翻译结果(&S)..."}},
    {"Print1", {"Print ...", "Imprimer ...", "&Imprimir ...", "Drucken ...", "Stampa ...", "Imprimir ...", "印刷 ...", "打印(&P)..."}},
    {"PrinterSetup1", {"Printer Setup", "Mise en Imprimer", "Configuración de Imprimir", "Seite einrichten", "Messa a punto Di Stampante", "Configuração da Imprimir", "プリンター組み立て", "打印设置(&U)"}},
    {"Exit1", {"E&xit", "&Quitter", "&Salir", "&Beenden", "&Uscita", "&Sair", "出口", "退出(&E)"}},
    {"Edit1", {"&Edit", "&Edition", "&Editar", "&Bearbeiten", "&Stampare", "&Editar", "編集", "编辑(&E)"}},
    {"Undo1", {"Undo", "Découdre", "Deshacer", "Letzte", "Undo", "Undo", "取消", "撤销(&U)"}},
    {"Redo1", {"Redo", "Refaire", "Rehacer", "Nochmals tun", "Rifre", "Redo", "やり直", "重复(&R)"}},
    {"Copy1", {"Copy", "Copier", "Copiar", "Kopieren", "Copiare", "Copiar", "複写", "复制(&C)"}},
    {"Cut1", {"Cut", "Couper", "Cortar", "Ausschneiden", "Tagliare", "Recortar", "切口", "剪切(&X)"}},
    {"Paste1", {"Paste", "Coller", "Pegar", "Einfügen", "Colla", "Colar", "つく", "粘贴(&P)"}},
    {"SelectAll1", {"Select All", "Tout Sélectionner", "Seleccionar todo", "Alles markieren", "Selezionare Tutti", "Selecionar tudo", "選ぶ", "全选(&A)"}},
    {"Find1", {"Find ...", "Trouver Dans Cette Page...", "Buscar...", "Finde...", "Ritrovamento ...", "Procurar nesta página ...", "発見 ...", "查找(&F)..."}},
    {"Replace1", {"Replace ...", "Remplacer ...", "Reemplazar ...", "Ersetzen ...", "Sostituire ...", "Substitua ...", "取り替えなさい ...", "替换(&E)..."}},
    {"ranslate1", {"&Translate", "&Traduire", "&Traducir", "überse&tzen", "&Tradurre", "&Traduza", "翻訳", "翻译(&T)"}},
    {"ranslateSinglethreaded1", {"Translate", "Traduire", "Traducir", "übersetzen", "Tradurre", "Traduza", "翻訳", "翻译"}},
    {"Server1", {"&Server", "&Serveur", "&Servidor", "&Server", "&Server", "&Server", "サーバー", "服务器(&S)"}},
    {"XMethodMenu", {"Server 1", "Serveur 1", "Servidor 1", "Server 1", "Server 1", "Server 1", "サーバー 1", "服务器 1"}},
    {"VelociGenMenu", {"Server 3", "Serveur 3", "Servidor 3", "Server 3", "Server 3", "Server 3", "サーバー 3", "服务器 3"}},
    {"Xmethod2001", {"Server 2", "Serveur 2", "Servidor 2", "Server 2", "Server 2", "Server 2", "サーバー 2", "服务器 2"}},
    {"Preference1", {"&Preference", "&Préférences", "&Preferencias", "&Einstellungen", "&Preferenza", "&Preferencias", "設定", "选项(&P)"}},
    {"ProxySettings1", {"Proxy Settings", "Mandataire", "Proxy", "Proxy", "Procura", "Proxy", "Proxy設定", "代理服务器设置(&P)"}},
    {"ranslate2", {"Translation Settings", "Traduction", "Traducción", "übersetzen", "Traduzione", "Tradução", "翻訳環境設定", "翻译环境设置(&E)"}},
    {"Network1", {"Timeout Settings", "Pouce\u00A0!", "Conexión", "Timeout Settings", "Prespegnimento", "Intervalo de parada", "タイムアウトの設定", "网络超时设置(&T)"}},
    {"Help1", {"&Help", "&Aide", "&Ayuda", "&Hilfe", "Aiut&o", "&Ajuda", "助け", "帮助(&H)"}},
    {"Manual1", {"Manual", "Manuel", "Manual", "Manual", "Manuale", "Manual", "ユーザーの手引", "用户手册(&M)"}},
    {"Update1", {"Live Update ...", "Réactualiser ...", "Actualización ...", "Aktualisieren ...", "Aggiornamento In tensione ...", "Update Vivo ...", "生きている更新 ...", "在线升级(&U)..."}},
    {"Homepage1", {"Homepage ...", "page d'accueil ...", "Página de inicio ...", "Startseite ...", "Homepage ...", "Homepage ...", "ホームページ ...", "软件主页(&H)..."}},
    {"About1", {"About ...", "A propos de ...", "Acerca de ...", "über ...", "Circa ...", "Sobre ...", "について ...", "关于(&A)..."}},
    {"Screen1", {"&Interface", "&Interface", "&Interfaz", "&Interface", "&Interfaccia", "&Interface", "言語", "界面(&I)"}},
    {"OpenBtn", {"Open", "Ouvrir", "Abrir", "Öff&nen", "Aperto", "Abrir", "開いた", "打开"}},
    {"SaveBtn", {"Save", "Enregistrer", "Guardar", "Speichern", "Risparmi", "Salvar", "を除けば", "保存"}},
    {"TransBtn", {"Translate", "Traduire", "Traducir", "überse&tzen", "Tradurre", "Traduza", "翻訳", "翻译"}},
    {"ClearBtn", {"Clear", "Effacer", "Eliminar", "Leeren", "Annullare", "Limpar", "除去", "清除"}},
    {"BitBtn6", {"Undo", "Découdre", "Deshacer", "Letzte", "Undo", "Undo", "取消", "撤销"}},
    {"FontBtn", {"Font", "Police", "Tipo", "Schriftart", "Caratteri", "Batismal", "字體", "字体"}},
    {"Voice1", {"&Voice", "&Voix", "&Voz", "&Stimme", "&Voce", "&Voz", "発音", "声音(&V)"}},
    {"SpeedButton1", {"Color", "Coloris", "Color", "Farbe", "Colore", "Cor", "颜色", "颜色"}},
    {"SpeedButton2", {"Print", "Imprimer", "Imprimir", "Drucken", "Stampa", "Imprimir", "印刷", "打印"}},
    {"SetBtn", {"Swap", "Echanger", "Canjear", "Tausch", "Scambio", "Troca", "交換", "交换"}},
    {"HelpBtn", {"Viewer", "Visionner", "Visor", "Beschauer", "Visore", "Visor", "視者", "乱码"}},
    {"SpeedButton5", {"Help", "Aide", "Ayuda", "Hilfe", "Aiuto", "Ajuda", "助け", "帮助"}},
    {"BackBtn", {"Back", "Précédent", "Atrás", "Zurück", "Posteriore", "Voltar", "後退", "回退"}},
    {"ForwardBtn", {"Forward", "Suivant", "Adelante", "Vorwärts", "Andata", "Avançar", "前進", "前进"}},
    {"GoBtn", {"Go", "Aller", "Ir", "Los", "Andare", "Seguir", "行き", "浏览"}},
    {"StopBtn", {"Stop", "Arrêter", "Detener", "Abbrechen", "Arrestarsi", "Parar", "停止", "停止"}},
    {"RefreshBtn", {"Refresh", "Refresh", "Actualizar", "Aktualisieren", "Rinfrescare", "Desfazer", "革新", "刷新"}},
    {"HomeBtn", {"Home", "Maison", "Inicio", "Startseite", "Domestico", "Local", "回家", "主页"}},
    {"ObBtn", {"Observe", "Pagewatch", "Amaitinar", "überwachen", "Osservare", "Observe", "監視", "监视器"}},
    {"TextBtn", {"Text", "Texte", "Texto", "Texte", "Testo", "Texto", "テキスト", "文本"}},
    {"ChangeBtn", {"Change", "Changer", "Demudar", "ändern", "Cambia", "Mudança", "変更", "状态"}},
    {"LblAddress", {"Address", "Adresse", "Direcciones", "Adresse", "Indirizzo", "Endereço", "地址欄", "地址"}},
    // clang-format on
};

const char* const Items[8] = {"English1", "French1",     "Spanish1",  "German1",
                              "Italian1", "Portuguese1", "Japanese1", "Chinese1"};
const char* const Stored[8] = {"English", "French",     "Spanish",  "German",
                               "Italian", "Portuguese", "Japanese", "Chinois"};

// The text a control shows, whatever kind of control it is.
QString shownText(QObject* control)
{
    if (auto* menu = qobject_cast<QMenu*>(control))
        return menu->title();
    if (auto* action = qobject_cast<QAction*>(control))
        return action->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    throw std::runtime_error("no text on " + control->objectName().toStdString());
}

} // namespace

class InterfaceTest : public WindowTest
{
protected:
    void expectColumn(int column)
    {
        for (const auto& row : Expected) {
            auto* control = window->findChild<QObject*>(QString::fromLatin1(row.control));
            ASSERT_NE(control, nullptr) << row.control;
            EXPECT_EQ(shownText(control), QString::fromUtf8(row.text[column]))
                << row.control << " in " << Stored[column];
        }
    }
    QStringList checkedItems()
    {
        QStringList checked;
        for (QAction* a : ctl<QMenu>("Screen1")->actions())
            if (a->isChecked())
                checked << a->objectName();
        return checked;
    }
};

TEST_F(InterfaceTest, EachLanguageShowsItsTextsOnAllFiftyFourControls)
{
    TfrmMain& w = open();
    ASSERT_EQ(std::size(Expected), 54u);
    // Chinese is reachable once its item is shown.
    ctl<QAction>("Chinese1")->setVisible(true);
    for (int c = 0; c < 8; ++c) {
        SCOPED_TRACE(Stored[c]);
        AppTitle::set(AppTitle::StartTitle);
        ctl<QAction>(Items[c])->trigger();
        expectColumn(c);
        EXPECT_EQ(w.Settings.InterfaceLanguage, QString::fromLatin1(Stored[c]));
        EXPECT_EQ(checkedItems(), QStringList{QString::fromLatin1(Items[c])});
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Tarquell Translator 4.00"));
        EXPECT_EQ(AppTitle::get(), QStringLiteral("Tarquell Translator 4.00"));
    }
}

TEST_F(InterfaceTest, EnglishAfterFrenchRestoresEveryText)
{
    open();
    ctl<QAction>("French1")->trigger();
    EXPECT_EQ(ctl<QAction>("Network1")->text(), QStringLiteral("Pouce\u00A0!"));
    EXPECT_EQ(ctl<QMenu>("N1")->title(), QStringLiteral("&Fichier"));
    ctl<QAction>("English1")->trigger();
    expectColumn(0);
    EXPECT_EQ(ctl<QAction>("Network1")->text(), QStringLiteral("Timeout Settings"));
    // The same language again changes nothing.
    ctl<QAction>("English1")->trigger();
    expectColumn(0);
    EXPECT_EQ(checkedItems(), QStringList{QStringLiteral("English1")});
}

TEST_F(InterfaceTest, StartingWithChinoisShowsTheChineseItemCheckedAndItsTexts)
{
    writeIni("[Interface]\nLanguage=Chinois\n");
    open();
    EXPECT_TRUE(ctl<QAction>("Chinese1")->isVisible());
    EXPECT_EQ(checkedItems(), QStringList{QStringLiteral("Chinese1")});
    expectColumn(7);
    EXPECT_EQ(ctl<QMenu>("N1")->title(), QStringLiteral("文件(&F)"));
}

// A command run directly (as the about box's game runs French) moves the
// check mark too, and leaves what the table does not list alone.
TEST_F(InterfaceTest, CommandsLeaveUnlistedControlsAlone)
{
    TfrmMain& w = open();
    w.setStatusText(QStringLiteral("Done."));
    QStringList before;
    auto untouched = [&] {
        QStringList texts;
        for (QAction* a : ctl<QMenu>("Screen1")->actions())
            texts << a->text();
        for (QAction* a : ctl<QMenu>("Tools1")->actions())
            texts << a->text();
        for (const char* box : {"CB1", "CB2", "CBServer"})
            for (int i = 0; i < ctl<QComboBox>(box)->count(); ++i)
                texts << ctl<QComboBox>(box)->itemText(i);
        texts << ctl<QLabel>("LblMode")->text() << w.statusText();
        return texts;
    };
    before = untouched();
    ctl<InterfaceController>("InterfaceController")->Japanese1Click();
    EXPECT_EQ(checkedItems(), QStringList{QStringLiteral("Japanese1")});
    EXPECT_EQ(ctl<QMenu>("Tools1")->title(), QStringLiteral("工具"));
    EXPECT_EQ(untouched(), before);
    EXPECT_EQ(before.mid(0, 9),
              (QStringList{"English", "French", "Spanish", "German", "Italian", "Portuguese",
                           "Korean", "Japanese", QStringLiteral("简体中文")}));
    // Chinese stores its own name for the next start.
    ctl<InterfaceController>("InterfaceController")->Chinese1Click();
    EXPECT_EQ(w.Settings.InterfaceLanguage, QStringLiteral("Chinois"));
    closeWindow();
    EXPECT_TRUE(readIni().contains("Language=Chinois"));
}
